#include "service/service_fixture.h"

#include "service/json_fields.h"
#include "service/json_text.h"
#include "sqlitedb/sqlite.h"
#include "thesaurus/keyword_store.h"
#include "thesaurus/protect_store.h"

namespace servicetest {

void makeServiceDatabase(const std::filesystem::path& file) {
    makeDatabase(file, {{"美丽", "漂亮"},
                        {"花", "草", false},
                        {"漂亮", "好看"},
                        {"中国", "中华"},
                        {"天气", "气候"},
                        {"花园", "院子"}});
    auto store = KeywordStore::open(file.string());
    protect::add(store->db(), g("花园"));
}

RunningService startService(service::ServiceOptions options) {
    options.front.port = 0;
    options.front.workThreads = 2;
    RunningService running;
    running.service = std::make_unique<service::RewriteService>(std::move(options));
    running.port = running.service->start();
    return running;
}

std::string formBody(const Pairs& pairs) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const auto& [name, value] : pairs) {
        if (!out.empty()) out += '&';
        out += name + '=';
        for (unsigned char c : value) {
            if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
                out += static_cast<char>(c);
            } else if (c == ' ') {
                out += '+';
            } else {
                out += '%';
                out += hex[c >> 4];
                out += hex[c & 15];
            }
        }
    }
    return out;
}

std::string multipartBody(const Pairs& pairs, const std::string& boundary) {
    std::string out;
    for (const auto& [name, value] : pairs)
        out += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name +
               "\"\r\n\r\n" + value + "\r\n";
    return out + "--" + boundary + "--\r\n";
}

std::string jsonBody(const Pairs& pairs) {
    std::string out = "{";
    for (const auto& [name, value] : pairs) {
        if (out.size() > 1) out += ',';
        service::appendJsonString(out, name);
        out += ':';
        service::appendJsonString(out, value);
    }
    return out + "}";
}

std::string jsonMember(const std::string& json, const std::string& name) {
    service::Fields fields;
    if (service::appendJsonFields(json, fields)) return {};
    for (const auto& f : fields)
        if (f.name == name) return f.value;
    return {};
}

} // namespace servicetest
