// The throttles as the store keeps them, on a clock of the test's own: the
// same windows on both stores, and the same answers for every instance.
#include "server/stored_abuse_limits.h"
#include "server_fixture.h"

namespace {

class StoredLimitsTest : public ServerTest {};

TEST_P(StoredLimitsTest, FailuresBlockForAWhileAndSignUpsSlideByTheHour) {
    auto store = openStore();
    std::int64_t now = 1'700'000'000;
    using std::chrono::seconds;
    wycserver::StoredAbuseLimits limits(*store, {3, seconds(600), seconds(300), 2},
                                        [&now] { return now; });
    // Another instance over the same store, on the same clock.
    auto otherStore = openStore();
    wycserver::StoredAbuseLimits other(*otherStore, {3, seconds(600), seconds(300), 2},
                                       [&now] { return now; });
    auto blocked = [&] { return other.loginBlocked("a", "10.0.0.1"); };

    // Failures further apart than the window do not add up.
    limits.loginFailed("a", "10.0.0.1");
    now += 599;
    other.loginFailed("a", "10.0.0.1");
    now += 2;
    limits.loginFailed("a", "10.0.0.1"); // the first is out of the window
    EXPECT_FALSE(blocked());
    other.loginFailed("a", "10.0.0.1");
    EXPECT_TRUE(blocked());
    EXPECT_TRUE(limits.loginBlocked("a", "10.0.0.1"));
    EXPECT_FALSE(limits.loginBlocked("a", "10.0.0.2"));
    EXPECT_FALSE(limits.loginBlocked("b", "10.0.0.1"));
    now += 299;
    EXPECT_TRUE(blocked());
    now += 1;
    EXPECT_FALSE(blocked());
    // After a block, and after a success, counting starts afresh.
    limits.loginFailed("a", "10.0.0.1");
    limits.loginFailed("a", "10.0.0.1");
    other.loginSucceeded("a", "10.0.0.1");
    limits.loginFailed("a", "10.0.0.1");
    limits.loginFailed("a", "10.0.0.1");
    EXPECT_FALSE(blocked());

    // Two sign-ups an hour per address, shared by the instances.
    EXPECT_TRUE(limits.takeSignUp("10.0.0.1"));
    now += 1800;
    EXPECT_TRUE(other.takeSignUp("10.0.0.1"));
    EXPECT_FALSE(limits.takeSignUp("10.0.0.1"));
    EXPECT_TRUE(limits.takeSignUp("10.0.0.2"));
    now += 1800; // the first is an hour old
    EXPECT_TRUE(other.takeSignUp("10.0.0.1"));
    EXPECT_FALSE(limits.takeSignUp("10.0.0.1"));
}

WYC_ON_BOTH_STORES(StoredLimitsTest);

} // namespace
