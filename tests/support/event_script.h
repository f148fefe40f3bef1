// A tiny reader of well-formed, entity-free markup for tests: turns
// `<a x="1"><b/></a>` into the start and end events a parser would deliver.
// Names run up to white space, '/', '>' or '='; values are in double quotes.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fake_values.h"

namespace oxa::testing {

struct Event {
  bool start;
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
};

inline std::vector<Event> ParseEvents(const std::string& text) {
  std::vector<Event> events;
  std::size_t i = 0;
  auto isNameEnd = [&](char c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '/' || c == '>' || c == '=';
  };
  auto skipSpace = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\n' || text[i] == '\t')) ++i;
  };
  auto readName = [&] {
    const std::size_t from = i;
    while (i < text.size() && !isNameEnd(text[i])) ++i;
    return text.substr(from, i - from);
  };
  while (i < text.size()) {
    if (text[i] != '<') {
      ++i;
      continue;
    }
    ++i;
    if (text[i] == '/') {
      ++i;
      events.push_back({false, readName(), {}});
      skipSpace();
      ++i;  // '>'
      continue;
    }
    Event start{true, readName(), {}};
    for (;;) {
      skipSpace();
      if (text[i] == '/') {
        events.push_back(start);
        events.push_back({false, start.name, {}});
        i += 2;
        break;
      }
      if (text[i] == '>') {
        events.push_back(start);
        ++i;
        break;
      }
      std::string name = readName();
      if (text[i] != '=' || text[i + 1] != '"')
        throw std::invalid_argument("bad attribute in " + text);
      i += 2;
      const std::size_t close = text.find('"', i);
      start.attributes.emplace_back(name, text.substr(i, close - i));
      i = close + 1;
    }
  }
  return events;
}

// Delivers `events` to `sink` (anything with StartElement(name, IValues*) and
// EndElement(name)), each start with a fresh attribute set.
template <class Sink>
void Deliver(const std::vector<Event>& events, Sink& sink) {
  for (const Event& e : events) {
    if (e.start) {
      FakeValues attributes;
      for (const auto& [name, value] : e.attributes) attributes.AddString(name, value);
      sink.StartElement(e.name.c_str(), &attributes);
    } else {
      sink.EndElement(e.name.c_str());
    }
  }
}

}  // namespace oxa::testing
