// Random operation sequences on ByteString and SortedVector, checked against
// std::string and std::map.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "base/byte_string.h"
#include "base/sorted_vector.h"

namespace {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  // A text without zero bytes, sometimes long enough for the heap form.
  std::string Text() {
    const std::size_t length = Byte() % 40;
    std::string s;
    for (std::size_t i = 0; i < length; ++i) s += static_cast<char>(Byte() | 1);
    return s;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckString(const oxa::ByteString& s, const std::string& model) {
  Check(s.Length() == model.size());
  Check(std::string(s.Chars()) == model);
  Check(s.Chars()[s.Length()] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  std::vector<oxa::ByteString> strings(4);
  std::vector<std::string> models(4);
  oxa::SortedVector<oxa::ByteString, std::uint32_t, oxa::TextLess> map;
  std::map<std::string, std::uint32_t> mapModel;

  while (!in.Done()) {
    const std::uint8_t op = in.Byte();
    const std::size_t a = in.Byte() % 4, b = in.Byte() % 4;
    switch (op % 12) {
      case 0: {
        const std::string t = in.Text();
        strings[a] = t.c_str();
        models[a] = t;
        break;
      }
      case 1: {
        const std::string t = in.Text();
        strings[a] += t.c_str();
        models[a] += t;
        break;
      }
      case 2:
        strings[a] = strings[b];
        models[a] = models[b];
        break;
      case 3: {
        oxa::ByteString copy(strings[b]);
        strings[a] = copy;
        models[a] = models[b];
        break;
      }
      case 4: {
        const std::uint32_t n = in.Byte();
        strings[a] = strings[b].Left(n);
        models[a] = models[b].substr(0, n);
        break;
      }
      case 5: {
        const std::uint32_t n = in.Byte();
        const std::string& m = models[b];
        strings[a] = strings[b].Right(n);
        models[a] = n >= m.size() ? m : m.substr(m.size() - n);
        break;
      }
      case 6: {
        const char ch = static_cast<char>(in.Byte() | 1);
        const auto first = models[a].find(ch), last = models[a].rfind(ch);
        Check(strings[a].Find(ch) ==
              (first == std::string::npos ? -1 : static_cast<std::int32_t>(first)));
        Check(strings[a].ReverseFind(ch) ==
              (last == std::string::npos ? -1 : static_cast<std::int32_t>(last)));
        break;
      }
      case 7:
        strings[a].Append(strings[a].Chars(), strings[a].Length());
        models[a] += models[a];
        if (models[a].size() > 4096) {
          strings[a].Empty();
          models[a].clear();
        }
        break;
      case 8: {
        const std::uint32_t v = in.Byte();
        map.SetAt(strings[a], v);
        mapModel[models[a]] = v;
        break;
      }
      case 9:
        map.ValueAt(strings[a]);
        mapModel.try_emplace(models[a], 0);
        break;
      case 10: {
        const auto* found = map.Find(strings[a]);
        const auto it = mapModel.find(models[a]);
        Check((found == map.end()) == (it == mapModel.end()));
        if (it != mapModel.end()) Check(found->value == it->second);
        break;
      }
      case 11:
        if (in.Byte() % 8 == 0) {
          map.RemoveAll();
          mapModel.clear();
        }
        break;
    }
    for (std::size_t i = 0; i < 4; ++i) CheckString(strings[i], models[i]);
  }
  Check(map.GetCount() == mapModel.size());
  auto it = mapModel.begin();
  for (oxa::Position pos = map.GetStartPosition(); pos != 0; ++it) {
    const auto& e = map.GetNext(pos);
    Check(it != mapModel.end() && it->first == e.key.Chars() && it->second == e.value);
  }
  Check(it == mapModel.end());
  return 0;
}
