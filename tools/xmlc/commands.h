// xmlc's commands. Each takes the arguments after its name, prints its own
// errors, and returns the exit code; each has its help text.
#pragma once

#include <string>
#include <vector>

namespace oxa::xmlc {

int Compile(const std::vector<std::string>& args, const char* argv0);
int Check(const std::vector<std::string>& args, const char* argv0);
int Dump(const std::vector<std::string>& args);
int Record(const std::vector<std::string>& args);
int Info(const std::vector<std::string>& args, const char* argv0);

std::string CompileHelp();
std::string CheckHelp();
extern const char kDumpHelp[];
extern const char kRecordHelp[];
extern const char kInfoHelp[];

}  // namespace oxa::xmlc
