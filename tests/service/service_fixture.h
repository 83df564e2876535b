#pragma once
// A rewrite service on a free loopback port over a small setting.dat, and the
// encodings callers use, for the service tests.
#include <memory>
#include <string>
#include <vector>

#include "service/rewrite_service.h"
#include "support/fixtures.h"
#include "support/http_client.h"

namespace servicetest {

// The pairs every service test rewrites with: a chain (美丽 -> 漂亮 ->
// 好看), a pair out of use, and one protected word stored in the file (花园).
void makeServiceDatabase(const std::filesystem::path& file);

struct RunningService {
    std::unique_ptr<service::RewriteService> service;
    int port = 0;
};
RunningService startService(service::ServiceOptions options);

// name=value pairs as the body of a form (values are bytes as given).
using Pairs = std::vector<std::pair<std::string, std::string>>;
std::string formBody(const Pairs& pairs);
std::string multipartBody(const Pairs& pairs, const std::string& boundary);
std::string jsonBody(const Pairs& pairs);

// A member of a JSON answer ("" when absent), strings in UTF-8.
std::string jsonMember(const std::string& json, const std::string& name);

} // namespace servicetest
