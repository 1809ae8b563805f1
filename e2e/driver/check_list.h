#pragma once
// The report of a program that checks one thing a line (the DPI and installer checks):
// "  ok    what held" or "  FAIL  what did not", each printed at once so that a log cut
// short still shows how far it got.
#include <string>

namespace e2e {

void Say(const std::string& line);
// Prints the check's line and counts a failure; returns `ok`.
bool Check(bool ok, const std::string& what);
// The exit status: 0 when every check so far held.
int CheckListStatus();

}  // namespace e2e
