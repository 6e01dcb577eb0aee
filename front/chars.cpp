// (stub, replaced by the front-end work)
#include "front/chars.h"
#include "driver/report.h"
bool IsSpaceEater(unsigned char) { AssertionFailure("b", __LINE__); }
bool IsDefinableName(std::string_view) { AssertionFailure("b", __LINE__); }
std::string ShortSpelling(std::string_view) { AssertionFailure("b", __LINE__); }
std::string NormaliseSpace(std::string_view) { AssertionFailure("b", __LINE__); }
std::string TreeCode(int) { AssertionFailure("b", __LINE__); }
const std::map<std::string, std::string, std::less<>>& CharacterTable() { AssertionFailure("b", __LINE__); }
const std::string* CharacterTableFind(std::string_view) { AssertionFailure("b", __LINE__); }
bool IsLowerName(std::string_view) { AssertionFailure("b", __LINE__); }
bool IsOperatorChar(unsigned char) { AssertionFailure("b", __LINE__); }
