#pragma once
// The element names the page reader knows, and what each one means to it:
// how the tokenizer reads its content, whether it has an end tag, and how it
// closes other elements. Every other name is Tag::Other.
#include <cstdint>
#include <string_view>

namespace html {

enum class Tag : std::uint8_t {
    Other,
    // document and head
    Html,
    Head,
    Body,
    Title,
    Meta,
    Link,
    Base,
    Script,
    Style,
    Noscript,
    Template,
    // raw text and plain text
    Iframe,
    Noembed,
    Noframes,
    Xmp,
    Plaintext,
    Textarea,
    // forms
    Form,
    Fieldset,
    Legend,
    Select,
    Option,
    Optgroup,
    Datalist,
    Button,
    Input,
    Label,
    // foreign content
    Svg,
    Math,
    // code
    Pre,
    Listing,
    Code,
    Kbd,
    Samp,
    // text level
    A,
    Span,
    B,
    I,
    U,
    S,
    Em,
    Strong,
    Small,
    Big,
    Strike,
    Tt,
    Font,
    Nobr,
    Sup,
    Sub,
    // blocks
    P,
    Div,
    Br,
    Hr,
    Img,
    H1,
    H2,
    H3,
    H4,
    H5,
    H6,
    Ul,
    Ol,
    Li,
    Dl,
    Dt,
    Dd,
    Blockquote,
    Article,
    Section,
    Nav,
    Aside,
    Header,
    Footer,
    Main,
    Address,
    Figure,
    Figcaption,
    Details,
    Summary,
    Dialog,
    Center,
    Dir,
    Menu,
    Hgroup,
    // tables
    Table,
    Caption,
    Colgroup,
    Col,
    Thead,
    Tbody,
    Tfoot,
    Tr,
    Td,
    Th,
    // other void and scoping elements
    Area,
    Embed,
    Param,
    Source,
    Track,
    Wbr,
    Keygen,
    Frame,
    Frameset,
    Object,
    Applet,
    Marquee,
    Image,
    Basefont,
    Bgsound,
    Video,
    Audio,
    Canvas,
    Map,
    Count
};

// How the tokenizer reads what follows the start tag.
enum class Content : std::uint8_t { Normal, Rcdata, Rawtext, ScriptData, Plaintext };

Tag tagFromName(std::string_view lowerName);
Content contentOf(Tag t);
// No end tag and no content (br, img, meta...).
bool isVoid(Tag t);
// Closes an open <p> when it starts (div, ul, h1, table...).
bool closesP(Tag t);
// The elements the tree-construction rules call special: an end tag of
// another element never closes past one.
bool isSpecial(Tag t);
// Ends a block of text: a paragraph boundary for the article reader.
bool isBlock(Tag t);
inline bool isHeading(Tag t) {
    return t >= Tag::H1 && t <= Tag::H6;
}

} // namespace html
