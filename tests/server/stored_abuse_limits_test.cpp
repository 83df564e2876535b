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

    // The window's edge: a failure exactly the window old no longer counts.
    for (const auto& [gap, blocks] : {std::pair{599, true}, {600, false}}) {
        const std::string account = "edge" + std::to_string(gap);
        limits.loginFailed(account, "10.0.0.1");
        now += gap;
        other.loginFailed(account, "10.0.0.1");
        limits.loginFailed(account, "10.0.0.1");
        EXPECT_EQ(other.loginBlocked(account, "10.0.0.1"), blocks) << gap;
    }
}

// The wider limits count password checks that failed (a right password gives
// its check back), per account and per network (/24, /64), and likewise
// sign-ups and units of test posts per network.
TEST_P(StoredLimitsTest, ChecksAreCountedPerAccountAndPerNetwork) {
    auto store = openStore();
    std::int64_t now = 1'700'000'000;
    wycserver::AbuseLimitSettings settings;
    settings.guessesPerAccount = 3;
    settings.guessesPerNetwork = 5;
    settings.signUpsPerHour = 2;
    settings.signUpsPerNetworkPerHour = 3;
    settings.postUnitsPerAddress = 10;
    settings.postUnitsPerNetwork = 15;
    wycserver::StoredAbuseLimits limits(*store, settings, [&now] { return now; });
    using wycserver::GuessCheck;

    // Three checks on account 7 from three addresses; the fourth is refused.
    for (const char* address : {"10.0.0.1", "10.0.1.1", "10.0.2.1"})
        EXPECT_EQ(limits.takeGuess("7", address), GuessCheck::Allowed) << address;
    EXPECT_EQ(limits.takeGuess("7", "10.0.3.1"), GuessCheck::AccountLimit);
    // A check that found the right password does not count.
    limits.guessSucceeded("7", "10.0.2.1");
    EXPECT_EQ(limits.takeGuess("7", "10.0.3.1"), GuessCheck::Allowed);

    // Five checks from 10.0.5.0/24, on unknown accounts or on others.
    for (const char* address : {"10.0.5.1", "10.0.5.2", "10.0.5.3", "10.0.5.4"})
        EXPECT_EQ(limits.takeGuess("", address), GuessCheck::Allowed) << address;
    EXPECT_EQ(limits.takeGuess("8", "10.0.5.99"), GuessCheck::Allowed);
    EXPECT_EQ(limits.takeGuess("9", "10.0.5.200"), GuessCheck::NetworkLimit);
    EXPECT_EQ(limits.takeGuess("9", "10.0.6.1"), GuessCheck::Allowed);
    // IPv6: one /64 is one network.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(limits.takeGuess("", "2001:db8:1:2::" + std::to_string(i + 1)),
                  GuessCheck::Allowed);
    EXPECT_EQ(limits.takeGuess("", "2001:db8:1:2:ffff::1"), GuessCheck::NetworkLimit);
    EXPECT_EQ(limits.takeGuess("", "2001:db8:1:3::1"), GuessCheck::Allowed);
    // The window slides.
    now += 600;
    EXPECT_EQ(limits.takeGuess("7", "10.0.5.1"), GuessCheck::Allowed);

    // Sign-ups: two per address, three per network.
    EXPECT_TRUE(limits.takeSignUp("10.1.0.1"));
    EXPECT_TRUE(limits.takeSignUp("10.1.0.1"));
    EXPECT_FALSE(limits.takeSignUp("10.1.0.1"));
    EXPECT_TRUE(limits.takeSignUp("10.1.0.2"));
    EXPECT_FALSE(limits.takeSignUp("10.1.0.3"));
    EXPECT_TRUE(limits.takeSignUp("10.1.1.1"));

    // Posts by weight: ten units per address, fifteen per network.
    EXPECT_TRUE(limits.takePost("10.2.0.1", 8));
    EXPECT_FALSE(limits.takePost("10.2.0.1", 3));
    EXPECT_TRUE(limits.takePost("10.2.0.1", 2));
    EXPECT_TRUE(limits.takePost("10.2.0.2", 5));
    EXPECT_FALSE(limits.takePost("10.2.0.3", 1));
    EXPECT_TRUE(limits.takePost("10.2.1.1", 10));
}

WYC_ON_BOTH_STORES(StoredLimitsTest);

} // namespace
