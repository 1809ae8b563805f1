// The end-to-end runner: gtest plus the options of e2e/driver/environment.h.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "e2e/driver/environment.h"
#include "e2e/driver/text.h"

namespace {

// A picture of the whole screen at a test's first failed assertion, before its
// teardown ends the processes: it shows what was open and which window was in front.
class ScreenshotAtFailure : public testing::EmptyTestEventListener {
    void OnTestPartResult(const testing::TestPartResult& result) override {
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        if (!result.failed() || test == nullptr) {
            return;
        }
        std::string name = std::string(test->test_suite_name()) + "." + test->name();
        if (!taken_.insert(name).second) {
            return;
        }
        for (char& ch : name) {
            if (ch == '/') {
                ch = '_';
            }
        }
        e2e::Screenshot(e2e::FromUtf8(name + ".failed"));
    }

    std::set<std::string> taken_;
};

}  // namespace

int main(int argc, char** argv) {
    e2e::InitEnvironment(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new ScreenshotAtFailure);
    return RUN_ALL_TESTS();
}
