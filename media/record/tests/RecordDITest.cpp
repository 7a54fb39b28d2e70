#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "CVQRecordDI.h"
#include "LogCapture.h"
#include "VKLog.h"

namespace {
std::string ReadText(const char* path) {
    std::string text;
    FILE* f = fopen(path, "rb");
    if (!f) return "<missing>";
    int c;
    while ((c = fgetc(f)) != EOF) text.push_back(static_cast<char>(c));
    fclose(f);
    return text;
}
const unsigned kKeyDown = 0x100, kKeyUp = 0x101;
}  // namespace

TEST(CVQRecordDI, KeysAndButtons) {
    const char* path = "di_keys.di";
    CVQRecordDI di;
    ASSERT_EQ(1, di.Open(path));
    di.DeviceInput(kKeyDown, 'A', 0x001E0001, 120);  // A down, scan code 30
    di.DeviceInput(kKeyUp, 'A', 0xC01E0001, 186);
    di.DeviceInput(kKeyDown, 0x11, 0x011D0001, 200);  // right Ctrl: extended, scan code 29
    di.DeviceInput(0x201, 1, 0, 210);
    di.DeviceInput(0x202, 0, 0, 220);
    di.DeviceInput(0x204, 2, 0, 230);
    di.DeviceInput(0x208, 0, 0, 240);
    di.DeviceInput(0x200, 0, 0, 250);  // mouse move: not recorded
    EXPECT_EQ(1, di.Close());
    EXPECT_EQ(std::string("\"120\",\"0\",\"c30\",\"186\",\"1\",\"c30\",\"200\",\"0\",\"e29\",\"210\",\"0\",\"ml\","
                          "\"220\",\"1\",\"ml\",\"230\",\"0\",\"mr\",\"240\",\"1\",\"mm\""),
              ReadText(path));
    remove(path);
}

TEST(CVQRecordDI, NoInputGivesAnEmptyFileAndClosedRecorderIgnoresInput) {
    const char* path = "di_empty.di";
    CVQRecordDI di;
    di.DeviceInput(kKeyDown, 'A', 0x001E0001, 1);  // not open yet
    ASSERT_EQ(1, di.Open(path));
    EXPECT_EQ(0, di.GetCount());
    EXPECT_EQ(1, di.Close());
    EXPECT_EQ("", ReadText(path));
    di.DeviceInput(kKeyDown, 'A', 0x001E0001, 1);
    EXPECT_EQ(0, di.GetCount());
    remove(path);
}

TEST(CVQRecordDI, BatchesAreSeparatedByExactlyOneComma) {
    const char* path = "di_batches.di";
    CVQRecordDI di;
    ASSERT_EQ(1, di.Open(path));
    for (int i = 0; i < 4097; i++) di.DeviceInput(kKeyDown, 'A', 0x001E0001, i);
    EXPECT_EQ(1, di.GetCount());  // 4096 went to the file
    EXPECT_EQ(1, di.Close());
    const std::string text = ReadText(path);
    EXPECT_NE(std::string::npos, text.find("\"4095\",\"0\",\"c30\",\"4096\",\"0\",\"c30\""));
    EXPECT_EQ(std::string::npos, text.find(",,"));
    EXPECT_EQ('"', text.back());
    EXPECT_EQ('"', text.front());
    size_t commas = 0;
    for (char c : text) commas += c == ',';
    EXPECT_EQ(4097u * 3 - 1, commas);
    remove(path);
}

TEST(CVQRecordDI, WithoutAFileEventsAreDroppedWithALogLine) {
    LogCapture log;
    CVQRecordDI di;
    ASSERT_EQ(1, di.Open(nullptr));
    for (int i = 0; i < 4096; i++) di.DeviceInput(0x201, 1, 0, i);
    EXPECT_EQ(0, di.GetCount());
    EXPECT_NE(std::string::npos, log.text.find("CVQRecordDI::DeviceInput(): Lost device input!\r\n"));
    di.DeviceInput(0x201, 1, 0, 5000);
    // The entry still held cannot be written: Close says so, and closes.
    EXPECT_EQ(0, di.Close());
    EXPECT_EQ(0, di.IsOpen());
    EXPECT_EQ(0, di.GetCount());
    EXPECT_EQ(0, di.Close());
}

TEST(CVQRecordDI, UncreatableFileLeavesTheRecorderClosed) {
    CVQRecordDI di;
    EXPECT_EQ(0, di.Open("no_such_folder_zz/x.di"));
    EXPECT_EQ(0, di.IsOpen());
    di.DeviceInput(0x201, 1, 0, 1);
    EXPECT_EQ(0, di.GetCount());
}

#ifdef _WIN32
// Without key data the scan code comes from the virtual-key code.
TEST(CVQRecordDI, KeyWithoutFlagsMapsTheVirtualKey) {
    const char* path = "di_vk.di";
    CVQRecordDI di;
    ASSERT_EQ(1, di.Open(path));
    di.DeviceInput(kKeyDown, 'A', 0, 5);
    di.Close();
    EXPECT_EQ("\"5\",\"0\",\"c30\"", ReadText(path));
    remove(path);
}
#endif
