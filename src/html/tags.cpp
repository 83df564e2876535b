#include "html/tags.h"

#include <array>
#include <unordered_map>

namespace html {
namespace {

struct Entry {
    const char* name;
    Tag tag;
};

constexpr Entry kNames[] = {
    {"html", Tag::Html},
    {"head", Tag::Head},
    {"body", Tag::Body},
    {"title", Tag::Title},
    {"meta", Tag::Meta},
    {"link", Tag::Link},
    {"base", Tag::Base},
    {"script", Tag::Script},
    {"style", Tag::Style},
    {"noscript", Tag::Noscript},
    {"template", Tag::Template},
    {"iframe", Tag::Iframe},
    {"noembed", Tag::Noembed},
    {"noframes", Tag::Noframes},
    {"xmp", Tag::Xmp},
    {"plaintext", Tag::Plaintext},
    {"textarea", Tag::Textarea},
    {"form", Tag::Form},
    {"fieldset", Tag::Fieldset},
    {"legend", Tag::Legend},
    {"select", Tag::Select},
    {"option", Tag::Option},
    {"optgroup", Tag::Optgroup},
    {"datalist", Tag::Datalist},
    {"button", Tag::Button},
    {"input", Tag::Input},
    {"label", Tag::Label},
    {"svg", Tag::Svg},
    {"math", Tag::Math},
    {"pre", Tag::Pre},
    {"listing", Tag::Listing},
    {"code", Tag::Code},
    {"kbd", Tag::Kbd},
    {"samp", Tag::Samp},
    {"a", Tag::A},
    {"span", Tag::Span},
    {"b", Tag::B},
    {"i", Tag::I},
    {"u", Tag::U},
    {"s", Tag::S},
    {"em", Tag::Em},
    {"strong", Tag::Strong},
    {"small", Tag::Small},
    {"big", Tag::Big},
    {"strike", Tag::Strike},
    {"tt", Tag::Tt},
    {"font", Tag::Font},
    {"nobr", Tag::Nobr},
    {"sup", Tag::Sup},
    {"sub", Tag::Sub},
    {"p", Tag::P},
    {"div", Tag::Div},
    {"br", Tag::Br},
    {"hr", Tag::Hr},
    {"img", Tag::Img},
    {"h1", Tag::H1},
    {"h2", Tag::H2},
    {"h3", Tag::H3},
    {"h4", Tag::H4},
    {"h5", Tag::H5},
    {"h6", Tag::H6},
    {"ul", Tag::Ul},
    {"ol", Tag::Ol},
    {"li", Tag::Li},
    {"dl", Tag::Dl},
    {"dt", Tag::Dt},
    {"dd", Tag::Dd},
    {"blockquote", Tag::Blockquote},
    {"article", Tag::Article},
    {"section", Tag::Section},
    {"nav", Tag::Nav},
    {"aside", Tag::Aside},
    {"header", Tag::Header},
    {"footer", Tag::Footer},
    {"main", Tag::Main},
    {"address", Tag::Address},
    {"figure", Tag::Figure},
    {"figcaption", Tag::Figcaption},
    {"details", Tag::Details},
    {"summary", Tag::Summary},
    {"dialog", Tag::Dialog},
    {"center", Tag::Center},
    {"dir", Tag::Dir},
    {"menu", Tag::Menu},
    {"hgroup", Tag::Hgroup},
    {"table", Tag::Table},
    {"caption", Tag::Caption},
    {"colgroup", Tag::Colgroup},
    {"col", Tag::Col},
    {"thead", Tag::Thead},
    {"tbody", Tag::Tbody},
    {"tfoot", Tag::Tfoot},
    {"tr", Tag::Tr},
    {"td", Tag::Td},
    {"th", Tag::Th},
    {"area", Tag::Area},
    {"embed", Tag::Embed},
    {"param", Tag::Param},
    {"source", Tag::Source},
    {"track", Tag::Track},
    {"wbr", Tag::Wbr},
    {"keygen", Tag::Keygen},
    {"frame", Tag::Frame},
    {"frameset", Tag::Frameset},
    {"object", Tag::Object},
    {"applet", Tag::Applet},
    {"marquee", Tag::Marquee},
    {"image", Tag::Image},
    {"basefont", Tag::Basefont},
    {"bgsound", Tag::Bgsound},
    {"video", Tag::Video},
    {"audio", Tag::Audio},
    {"canvas", Tag::Canvas},
    {"map", Tag::Map},
};

using Flags = std::array<bool, static_cast<size_t>(Tag::Count)>;

Flags flagsOf(std::initializer_list<Tag> tags) {
    Flags f{};
    for (Tag t : tags)
        f[static_cast<size_t>(t)] = true;
    return f;
}

const Flags kVoid =
    flagsOf({Tag::Area, Tag::Base, Tag::Br, Tag::Col, Tag::Embed, Tag::Hr, Tag::Img, Tag::Input,
             Tag::Link, Tag::Meta, Tag::Param, Tag::Source, Tag::Track, Tag::Wbr, Tag::Keygen,
             Tag::Frame, Tag::Image, Tag::Basefont, Tag::Bgsound});

const Flags kClosesP = flagsOf(
    {Tag::Address, Tag::Article, Tag::Aside,  Tag::Blockquote, Tag::Center,   Tag::Details,
     Tag::Dialog,  Tag::Dir,     Tag::Div,    Tag::Dl,         Tag::Fieldset, Tag::Figcaption,
     Tag::Figure,  Tag::Footer,  Tag::Header, Tag::Hgroup,     Tag::Main,     Tag::Menu,
     Tag::Nav,     Tag::Ol,      Tag::P,      Tag::Section,    Tag::Summary,  Tag::Ul,
     Tag::H1,      Tag::H2,      Tag::H3,     Tag::H4,         Tag::H5,       Tag::H6,
     Tag::Pre,     Tag::Listing, Tag::Form,   Tag::Plaintext,  Tag::Table,    Tag::Hr,
     Tag::Xmp,     Tag::Li,      Tag::Dd,     Tag::Dt});

const Flags kSpecial = flagsOf(
    {Tag::Address,    Tag::Applet,   Tag::Area,       Tag::Article,  Tag::Aside,  Tag::Base,
     Tag::Basefont,   Tag::Bgsound,  Tag::Blockquote, Tag::Body,     Tag::Br,     Tag::Button,
     Tag::Caption,    Tag::Center,   Tag::Col,        Tag::Colgroup, Tag::Dd,     Tag::Details,
     Tag::Dir,        Tag::Div,      Tag::Dl,         Tag::Dt,       Tag::Embed,  Tag::Fieldset,
     Tag::Figcaption, Tag::Figure,   Tag::Footer,     Tag::Form,     Tag::Frame,  Tag::Frameset,
     Tag::H1,         Tag::H2,       Tag::H3,         Tag::H4,       Tag::H5,     Tag::H6,
     Tag::Head,       Tag::Header,   Tag::Hgroup,     Tag::Hr,       Tag::Html,   Tag::Iframe,
     Tag::Img,        Tag::Input,    Tag::Keygen,     Tag::Li,       Tag::Link,   Tag::Listing,
     Tag::Main,       Tag::Marquee,  Tag::Menu,       Tag::Meta,     Tag::Nav,    Tag::Noembed,
     Tag::Noframes,   Tag::Noscript, Tag::Object,     Tag::Ol,       Tag::P,      Tag::Param,
     Tag::Plaintext,  Tag::Pre,      Tag::Script,     Tag::Section,  Tag::Select, Tag::Source,
     Tag::Style,      Tag::Summary,  Tag::Table,      Tag::Tbody,    Tag::Td,     Tag::Template,
     Tag::Textarea,   Tag::Tfoot,    Tag::Th,         Tag::Thead,    Tag::Title,  Tag::Tr,
     Tag::Track,      Tag::Ul,       Tag::Wbr,        Tag::Xmp});

const Flags kBlock = flagsOf(
    {Tag::Html,      Tag::Head,     Tag::Body,       Tag::Title,    Tag::Form,       Tag::Fieldset,
     Tag::Legend,    Tag::Select,   Tag::Option,     Tag::Textarea, Tag::Pre,        Tag::Listing,
     Tag::P,         Tag::Div,      Tag::Br,         Tag::Hr,       Tag::H1,         Tag::H2,
     Tag::H3,        Tag::H4,       Tag::H5,         Tag::H6,       Tag::Ul,         Tag::Ol,
     Tag::Li,        Tag::Dl,       Tag::Dt,         Tag::Dd,       Tag::Blockquote, Tag::Article,
     Tag::Section,   Tag::Nav,      Tag::Aside,      Tag::Header,   Tag::Footer,     Tag::Main,
     Tag::Address,   Tag::Figure,   Tag::Figcaption, Tag::Details,  Tag::Summary,    Tag::Dialog,
     Tag::Center,    Tag::Dir,      Tag::Menu,       Tag::Hgroup,   Tag::Table,      Tag::Caption,
     Tag::Thead,     Tag::Tbody,    Tag::Tfoot,      Tag::Tr,       Tag::Td,         Tag::Th,
     Tag::Iframe,    Tag::Frameset, Tag::Video,      Tag::Audio,    Tag::Object,     Tag::Marquee,
     Tag::Plaintext, Tag::Xmp});

bool in(const Flags& f, Tag t) {
    return f[static_cast<size_t>(t)];
}

} // namespace

Tag tagFromName(std::string_view lowerName) {
    static const std::unordered_map<std::string_view, Tag> names = [] {
        std::unordered_map<std::string_view, Tag> m;
        for (const Entry& e : kNames)
            m.emplace(e.name, e.tag);
        return m;
    }();
    auto it = names.find(lowerName);
    return it == names.end() ? Tag::Other : it->second;
}

Content contentOf(Tag t) {
    switch (t) {
    case Tag::Title:
    case Tag::Textarea:
        return Content::Rcdata;
    case Tag::Style:
    case Tag::Xmp:
    case Tag::Iframe:
    case Tag::Noembed:
    case Tag::Noframes:
    case Tag::Noscript: // as a browser with scripts on reads it
        return Content::Rawtext;
    case Tag::Script:
        return Content::ScriptData;
    case Tag::Plaintext:
        return Content::Plaintext;
    default:
        return Content::Normal;
    }
}

bool isVoid(Tag t) {
    return in(kVoid, t);
}
bool closesP(Tag t) {
    return in(kClosesP, t);
}
bool isSpecial(Tag t) {
    return in(kSpecial, t);
}
bool isBlock(Tag t) {
    return in(kBlock, t);
}

} // namespace html
