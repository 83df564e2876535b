#pragma once
// The kinds of request, each with its own completion handler. Their names
// are the texts the launcher is called with; a name is case-sensitive.
#include <optional>
#include <string_view>

namespace net {

enum class RequestKind { Login, LoadTyc, AddWord, SendKeywords, GetContent, PostSend };

const char* nameOf(RequestKind kind);
// The kind a launcher name stands for; none for any other text.
std::optional<RequestKind> requestKindOf(std::string_view name);
// Whether the kind goes out as a POST (only PostSend) or a GET.
inline bool isPost(RequestKind kind) {
    return kind == RequestKind::PostSend;
}

} // namespace net
