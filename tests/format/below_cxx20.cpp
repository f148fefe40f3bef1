// A consumer at an older language level than the headers need: compiled
// with -std=c++17, it must fail on the headers' own plain message.
#include <xmlcompiler/format/document_reader.h>

int main() {
  return 0;
}
