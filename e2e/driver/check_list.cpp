#include "e2e/driver/check_list.h"

#include <cstdio>

namespace e2e {

namespace {

int failures = 0;

}  // namespace

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

bool Check(bool ok, const std::string& what) {
    if (!ok) ++failures;
    Say(std::string(ok ? "  ok    " : "  FAIL  ") + what);
    return ok;
}

int CheckListStatus() { return failures == 0 ? 0 : 1; }

}  // namespace e2e
