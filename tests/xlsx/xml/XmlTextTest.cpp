#include "xml/XmlText.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::string escaped(std::string_view text) {
    std::string out;
    xlsx::appendEscapedText(out, text);
    return out;
}

// The decoded text, or "<malformed>".
std::string decoded(std::string_view raw, bool ooxmlEscapes = true) {
    std::string out = "kept:";
    if (!xlsx::appendDecodedText(out, raw, ooxmlEscapes)) return "<malformed>";
    EXPECT_EQ(out.rfind("kept:", 0), 0u) << "what was in the buffer before must stay";
    return out.substr(5);
}

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(XmlText, EscapesWhatXmlCannotCarryAsItIs) {
    EXPECT_EQ(escaped("a & b < c > d"), "a &amp; b &lt; c &gt; d");
    EXPECT_EQ(escaped("quote \" and ' stay"), "quote \" and ' stay");
    EXPECT_EQ(escaped("line\r\nbreak\ttab"), "line&#13;\nbreak\ttab"); // a raw CR would read as LF
    EXPECT_EQ(escaped(std::string("nul\0bell\x07", 9)), "nul_x0000_bell_x0007_");
    EXPECT_EQ(escaped("_x0041_ stays literal"), "_x005F_x0041_ stays literal");
    EXPECT_EQ(escaped("_x00G1_ and _x12 are no escapes"), "_x00G1_ and _x12 are no escapes");
    EXPECT_EQ(escaped("\xEF\xBF\xBE"), "_xFFFE_"); // U+FFFE is no XML character
    EXPECT_EQ(escaped("æøå 😀 \xEF\xBF\xBD"), "æøå 😀 \xEF\xBF\xBD");
}

TEST(XmlText, MalformedUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(escaped("a\xFF"
                      "b"),
              "a" + kReplacement + "b");
    EXPECT_EQ(escaped("\xC0\x80"), kReplacement + kReplacement);                    // overlong NUL
    EXPECT_EQ(escaped("\xED\xA0\x80"), kReplacement + kReplacement + kReplacement); // a surrogate
    EXPECT_EQ(escaped("\xF4\x90\x80\x80").substr(0, 3), kReplacement);              // past U+10FFFF
    EXPECT_EQ(escaped("end\xE2\x82"), "end" + kReplacement + kReplacement);         // cut short
    EXPECT_EQ(escaped("\xE2\x28\xA1"), kReplacement + "(" + kReplacement);
}

TEST(XmlText, DecodesEntitiesReferencesAndSections) {
    EXPECT_EQ(decoded("&amp;&lt;&gt;&quot;&apos;"), "&<>\"'");
    EXPECT_EQ(decoded("&#65;&#x42;&#x1F600;"), "AB😀");
    EXPECT_EQ(decoded("&#xD800;"), kReplacement);
    EXPECT_EQ(decoded("a\r\nb\rc"), "a\nb\nc");
    EXPECT_EQ(decoded("&#13;"), "\r"); // a reference is the character itself
    EXPECT_EQ(decoded("x<![CDATA[<&>\r\n]]>y"), "x<&>\ny");
    EXPECT_EQ(decoded("a<!-- <b> -->b<?pi x?>c"), "abc");
    for (const char* bad :
         {"&nbsp;", "&amp", "&#;", "&#x110000;", "&#12a;", "a<b", "<![CDATA[x", "<!-- x", "<?pi"})
        EXPECT_EQ(decoded(bad), "<malformed>") << bad;
}

TEST(XmlText, OoxmlEscapesDecodeOnlyWhenAsked) {
    EXPECT_EQ(decoded("_x0041__x000D_"), "A\r");
    EXPECT_EQ(decoded("_x0041_", false), "_x0041_");
    EXPECT_EQ(decoded("_xd83d__xde00_"), "😀"); // a surrogate pair, lower-case hex
    EXPECT_EQ(decoded("_xD83D_x"), kReplacement + "x");
    EXPECT_EQ(decoded("_xDE00_"), kReplacement);
    EXPECT_EQ(decoded("_x005F_x0041_"), "_x0041_");
    // Escapes before `from` are left alone.
    std::string text = "_x0041_|_x0042_";
    xlsx::decodeOoxmlEscapes(text, 7);
    EXPECT_EQ(text, "_x0041_|B");
}

TEST(XmlText, PlainContentNeedsNoDecoding) {
    EXPECT_FALSE(xlsx::needsDecoding("S355J2 12,5 _y x_"));
    for (const char* raw : {"a&amp;", "a<![CDATA[b]]>", "a\rb", "_x0041_"})
        EXPECT_TRUE(xlsx::needsDecoding(raw)) << raw;
}

// Whatever a cell holds comes back unchanged once written and read again.
TEST(XmlText, EveryTextReadsBackAsWritten) {
    const std::vector<std::string> pieces = {"a",       "Å",
                                             "😀",       "&",
                                             "<",       ">",
                                             "\r",      "\n",
                                             "\t",      "\r\n",
                                             "_x",      "_x0041_",
                                             "_x005F_", std::string(1, '\0'),
                                             "\x1F",    "\xEF\xBF\xBE",
                                             "]]>",     " "};
    std::mt19937 random(17);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const auto length = random() % 12;
        for (unsigned i = 0; i < length; ++i)
            text += pieces[random() % pieces.size()];
        ASSERT_EQ(decoded(escaped(text)), text) << escaped(text);
    }
}

} // namespace
