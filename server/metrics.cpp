#include "metrics.h"

#include <cstdio>

namespace wycserver {

namespace {

std::string number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

} // namespace

void Metrics::answered(const std::string& route, int status, std::chrono::microseconds took) {
    const double seconds = static_cast<double>(took.count()) / 1e6;
    std::lock_guard lock(m_mutex);
    ++m_requests[{route, status}];
    Latency& l = m_latency[route];
    for (std::size_t i = 0; i < kBuckets.size(); ++i)
        if (seconds <= kBuckets[i]) ++l.buckets[i];
    ++l.count;
    l.sum += seconds;
}

void Metrics::storeFailed(bool busy) {
    std::lock_guard lock(m_mutex);
    ++(busy ? m_storeBusy : m_storeFailed);
}

std::string Metrics::render(const std::vector<Gauge>& gauges) const {
    std::lock_guard lock(m_mutex);
    std::string out;
    out += "# HELP wyc_requests_total Requests answered, by route and status.\n"
           "# TYPE wyc_requests_total counter\n";
    for (const auto& [key, n] : m_requests)
        out += "wyc_requests_total{route=\"" + key.first + "\",status=\"" +
               std::to_string(key.second) + "\"} " + std::to_string(n) + "\n";
    out += "# HELP wyc_request_duration_seconds Time from the request's head to its answer.\n"
           "# TYPE wyc_request_duration_seconds histogram\n";
    for (const auto& [route, l] : m_latency) {
        const std::string label =
            "wyc_request_duration_seconds_bucket{route=\"" + route + "\",le=\"";
        for (std::size_t i = 0; i < kBuckets.size(); ++i)
            out += label + number(kBuckets[i]) + "\"} " + std::to_string(l.buckets[i]) + "\n";
        out += label + "+Inf\"} " + std::to_string(l.count) + "\n";
        out += "wyc_request_duration_seconds_sum{route=\"" + route + "\"} " + number(l.sum) + "\n";
        out += "wyc_request_duration_seconds_count{route=\"" + route + "\"} " +
               std::to_string(l.count) + "\n";
    }
    out += "# HELP wyc_store_errors_total Requests the store failed: busy (timed out) or failed.\n"
           "# TYPE wyc_store_errors_total counter\n"
           "wyc_store_errors_total{kind=\"busy\"} " +
           std::to_string(m_storeBusy) +
           "\n"
           "wyc_store_errors_total{kind=\"failed\"} " +
           std::to_string(m_storeFailed) + "\n";
    for (const auto& g : gauges)
        out += "# HELP " + g.name + " " + g.help + "\n# TYPE " + g.name + " gauge\n" + g.name +
               " " + number(g.value) + "\n";
    return out;
}

} // namespace wycserver
