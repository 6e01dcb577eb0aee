// (stub, replaced by the front-end work)
#include "front/brackets.h"
#include "driver/report.h"
bool IsOpener(unsigned char) { AssertionFailure("b", __LINE__); }
bool IsCloser(unsigned char) { AssertionFailure("b", __LINE__); }
bool IsBracket(unsigned char) { AssertionFailure("b", __LINE__); }
const char* BracketName(unsigned char) { AssertionFailure("b", __LINE__); }
bool MatchBrackets(std::string_view, std::string&, int64_t&) { AssertionFailure("b", __LINE__); }
size_t SkipBracket(std::string_view, size_t) { AssertionFailure("b", __LINE__); }
SeparatorList SplitTopLevel(std::string_view, std::string_view) { AssertionFailure("b", __LINE__); }
std::string FirstSegment(const SeparatorList&, std::string_view) { AssertionFailure("b", __LINE__); }
std::string NextSegment(SeparatorList&, std::string_view) { AssertionFailure("b", __LINE__); }
std::string LastSegment(const SeparatorList&, std::string_view) { AssertionFailure("b", __LINE__); }
std::string PopSegment(SeparatorList&, std::string_view) { AssertionFailure("b", __LINE__); }
