#include "storage.h"

#include <openssl/evp.h>

#include "pg_storage.h"
#include "sqlite_storage.h"

namespace wycserver {

const std::vector<std::pair<std::string, std::string>>& starterPairs() {
    static const std::vector<std::pair<std::string, std::string>> pairs = {
        {"美丽", "漂亮"}, {"迅速", "快速"}, {"非常", "十分"}, {"重要", "关键"}, {"方法", "办法"},
        {"开始", "着手"}, {"因为", "由于"}, {"但是", "不过"}, {"已经", "早已"}, {"帮助", "协助"},
        {"提高", "提升"}, {"问题", "难题"}, {"目前", "眼下"}, {"特别", "尤其"}, {"经常", "常常"},
        {"喜欢", "喜爱"}, {"简单", "简易"}, {"优秀", "出色"}, {"努力", "尽力"}, {"立刻", "马上"},
        {"突然", "忽然"}, {"安静", "宁静"}, {"清楚", "明白"}, {"仔细", "细心"}, {"注意", "留意"},
        {"希望", "期望"}, {"建立", "创建"}, {"选择", "挑选"}, {"完成", "达成"}, {"明显", "显著"},
        {"改变", "转变"}, {"保护", "维护"}, {"获得", "取得"}, {"观看", "观赏"}, {"寻找", "寻觅"},
    };
    return pairs;
}

std::string pairKey(const std::string& ow, const std::string& nw) {
    // The length of ow first, so that ("ab", "c") and ("a", "bc") differ.
    const std::string material = std::to_string(ow.size()) + ":" + ow + nw;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(material.data(), material.size(), digest, &length, EVP_sha256(), nullptr);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

std::unique_ptr<Storage> openStorage(const StoreLocation& where) {
    if (!where.postgresUri.empty())
        return std::make_unique<PgStorage>(where.postgresUri, where.starterPairs,
                                           where.keptPostBytes, where.connections);
    return std::make_unique<SqliteStorage>(where.sqliteFile, where.starterPairs,
                                           where.keptPostBytes);
}

} // namespace wycserver
