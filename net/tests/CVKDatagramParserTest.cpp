#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CVKDatagramParser.h"

namespace {
struct Parsed {
    std::vector<unsigned char> bytes;
    CVKDatagramParser* parser;
    explicit Parsed(const std::string& text) : bytes(text.begin(), text.end()) {
        parser = new CVKDatagramParser(bytes.data(), bytes.size());
    }
    ~Parsed() { delete parser; }
};

std::string Frame(const std::string& payload, const std::string& lengthLine) {
    return "FRAME\nV\n0\n" + std::to_string(payload.size()) + "\n5\n" + lengthLine + "\n" + payload + "\n\n";
}
}  // namespace

TEST(CVKDatagramParser, MessagesLinesAndLineEnds) {
    Parsed p("SESSION\r\n7\r\n\r\nECHO\n\nVIEWERS\r2\ranna\rbo\r\r");
    const CVKDatagramParser& d = *p.parser;
    ASSERT_EQ(3, d.GetMessageCount());
    EXPECT_EQ(2, d.GetLineCount(0));
    EXPECT_STREQ("7", d.GetLine(0, 1));
    EXPECT_STREQ("ECHO", d.GetLine(1, 0));
    EXPECT_STREQ("bo", d.GetLine(2, 3));
    EXPECT_EQ(nullptr, d.GetLine(2, 4));
    EXPECT_EQ(nullptr, d.GetLine(3, 0));
    EXPECT_EQ(0, d.GetLineCount(-1));
}

TEST(CVKDatagramParser, UnfinishedAndNonTextStopTheParse) {
    EXPECT_EQ(1, Parsed("ECHO\n\nECHO\n").parser->GetMessageCount());  // message without its end
    EXPECT_EQ(1, Parsed("ECHO\n\nECHO").parser->GetMessageCount());    // line without its end
    EXPECT_EQ(1, Parsed("ECHO\n\nEC\x80HO\n\nECHO\n\n").parser->GetMessageCount());
    EXPECT_EQ(0, Parsed("\xff\n\n").parser->GetMessageCount());
}

TEST(CVKDatagramParser, FramePayloadIsBinaryAndExact) {
    std::string payload("\n\r\0\x80\xff\n\n", 7);
    Parsed p(Frame(payload, "7") + "ECHO\n\n");
    const CVKDatagramParser& d = *p.parser;
    ASSERT_EQ(2, d.GetMessageCount());
    ASSERT_EQ(7, d.GetLineCount(0));
    EXPECT_EQ(7, d.GetLineLength(0, 6));
    EXPECT_EQ(payload, std::string(d.GetLine(0, 6), 7));
    EXPECT_STREQ("ECHO", d.GetLine(1, 0));
}

TEST(CVKDatagramParser, HostileFramesAreDropped) {
    const std::string payload = "abcdef";
    const std::string hostile[] = {
        Frame(payload, "7"),  // longer than what is left
        Frame(payload, "-1"),
        Frame(payload, "99999999999999999999"),
        Frame(payload, "6").substr(0, Frame(payload, "6").size() - 2),  // nothing after the payload
        Frame(payload, "6").substr(0, Frame(payload, "6").size() - 1),  // only its line end
        "FRAME\nV\n0\n6\n5\n6\nabc",                                    // truncated payload
    };
    for (const std::string& bytes : hostile) {
        Parsed p("ECHO\n\n" + bytes);
        EXPECT_EQ(1, p.parser->GetMessageCount()) << bytes;  // only the message before
    }
    // A payload of exactly the bytes left followed by its two line ends is fine.
    EXPECT_EQ(1, Parsed(Frame(payload, "6")).parser->GetMessageCount());
}
