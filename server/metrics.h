#pragma once
// Counters for Prometheus: requests by route and status, a latency histogram
// per route, and failures of the store; the gauges (connections, queues,
// readiness) are read when the metrics are asked for. Routes are the server's
// own paths (anything else counts as "other"), so the series stay few.
#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace wycserver {

class Metrics {
  public:
    // Upper bounds of the latency buckets, in seconds.
    static constexpr std::array<double, 12> kBuckets = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                        0.1,   0.25,   0.5,   1.0,  2.5,   5.0};

    void answered(const std::string& route, int status, std::chrono::microseconds took);
    // A request that the store could not serve: `busy` when it timed out.
    void storeFailed(bool busy);

    // A value read at the moment of rendering.
    struct Gauge {
        std::string name;
        std::string help;
        double value = 0;
    };
    // The Prometheus text exposition of the counters and the gauges.
    std::string render(const std::vector<Gauge>& gauges) const;

  private:
    struct Latency {
        std::array<std::uint64_t, kBuckets.size()> buckets{};
        std::uint64_t count = 0;
        double sum = 0;
    };
    mutable std::mutex m_mutex;
    std::map<std::pair<std::string, int>, std::uint64_t> m_requests;
    std::map<std::string, Latency> m_latency;
    std::uint64_t m_storeBusy = 0;
    std::uint64_t m_storeFailed = 0;
};

} // namespace wycserver
