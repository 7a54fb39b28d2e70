// The game number lookup against the registry of the Wine prefix (writes one
// value of its own under GameBinFolders and removes it again).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "VKGameNumber.h"
#include "VKSettings.h"

TEST(VKGameNumber, ReadsTheGameBinFoldersKey) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, VK_GAMEBINFOLDERS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    const char* folder = "C:\\Net Test Games\\Some Game 987654";
    RegSetValueExA(key, "987654", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                   static_cast<DWORD>(strlen(folder) + 1));
    DWORD number = 5;
    RegSetValueExA(key, "987655", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);

    EXPECT_STREQ("987654", VKGameNumberForFolder("c:\\net test games\\some game 987654").Str());
    EXPECT_STREQ("0", VKGameNumberForFolder("C:\\Net Test Games\\Nothing Here").Str());
    CVKString self = VKModuleFolder(nullptr);
    EXPECT_NE(nullptr, strchr(self.Str(), '\\'));
    EXPECT_NE('\\', self.Str()[self.Length() - 1]);

    RegDeleteValueA(key, "987654");
    RegDeleteValueA(key, "987655");
    RegCloseKey(key);
    EXPECT_STREQ("0", VKGameNumberForFolder(folder).Str());
}
