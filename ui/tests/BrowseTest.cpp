// The recordings browser and its players inside a running HUD (an in-memory
// frame, a settings store that keeps the job keys apart, an injected clock):
// listing real folders, handing files to the desktop through the job keys,
// the click rule, and players over a video and .di file written here.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "CVKWMVEncoder.h"
#include "CVQBrowseDiWnd.h"
#include "CVQDecodeAhead.h"
#include "CVQBrowsePlayWnd.h"
#include "CVQBrowseWnd.h"
#include "CVQButton.h"
#include "CVQHUD.h"
#include "CVQMsgBox.h"
#include "CVQScrollBarV.h"
#include "CVQTextBox.h"
#include "IVQSoundOut.h"
#include "LogCapture.h"
#include "VKClock.h"
#include "VQResource.h"

namespace {

std::set<uint32_t> g_down;
bool KeyState(uint32_t vk) { return g_down.count(vk) != 0; }
uint32_t g_now = 100000;
uint32_t Clock() { return g_now; }

uint32_t Pack(int x, int y) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x);
}

// Settings and job keys, each value under its own key.
class KeyStore : public IVKSettingsStore {
public:
    KeyStore() { m_previous = VKSetSettingsStore(this); }
    ~KeyStore() override { VKSetSettingsStore(m_previous == this ? nullptr : m_previous); }
    bool Read(const char* key, const char* name, CVKString* value) override {
        auto it = values.find(std::string(key) + "|" + name);
        if (it == values.end()) return false;
        value->Set(it->second.c_str());
        return true;
    }
    bool Write(const char* key, const char* name, const char* value) override {
        if (refuseWrites) return false;
        values[std::string(key) + "|" + name] = value;
        return true;
    }
    void Setting(const std::string& name, const std::string& value) { values[VK_SETTINGS_KEY "|" + name] = value; }
    std::string Job(int upload, const std::string& name) {
        auto it = values.find(std::string(upload ? VQ_JOBUPLOAD_KEY : VQ_JOBENCODE_KEY) + "|" + name);
        return it == values.end() ? "(none)" : it->second;
    }
    void SetJob(int upload, const std::string& name, const std::string& value) {
        values[std::string(upload ? VQ_JOBUPLOAD_KEY : VQ_JOBENCODE_KEY) + "|" + name] = value;
    }
    std::map<std::string, std::string> values;
    bool refuseWrites = false;

private:
    IVKSettingsStore* m_previous;
};

// A sound output that writes down what the players do with it.
class FakeSound : public IVQSoundOut {
public:
    int OpenChannel(int rate, int channels, int bytes) override {
        opened.push_back({rate, channels, bytes});
        open.insert(next);
        return next++;
    }
    void Play(int channel, const uint8_t*, int size) override {
        if (open.count(channel)) played += size;
    }
    void CloseChannel(int channel) override { open.erase(channel); }
    struct Format {
        int rate, channels, bytes;
    };
    std::vector<Format> opened;
    std::set<int> open;
    int next = 7;
    long long played = 0;
};

// The parent the browser tells its selection.
class Page : public CVQFrmWnd {
public:
    int OnNotify(int code, void* data, CVQWindow* sender, int* handled) override {
        if (code == CVQBrowseWnd::kNotifySelection) {
            ++told;
            kind = *static_cast<int*>(data);
        }
        return CVQFrmWnd::OnNotify(code, data, sender, handled);
    }
    int told = 0;
    int kind = -1;
};

void WriteBytes(const std::string& path, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f) << path;
    std::string bytes(size, 'x');
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// Deletes the files a folder holds (a run before may have left some).
void RemoveFiles(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + data.cFileName).c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

std::string CurrentFolder() {
    char buffer[MAX_PATH * 2] = {};
    GetCurrentDirectoryA(sizeof buffer - 1, buffer);
    std::string folder = buffer;
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
}

// Half a second of a video with a tone (the writer scales it to 640 x 480).
bool MakeVideo(const std::string& path) {
    CVKWMVEncoder writer;
    if (!writer.LoadProfile(0) || !writer.Open(path.c_str()) || !writer.InitAudio(2, 44100, 16, 5880) ||
        !writer.InitVideo(160, 120, 333333) || !writer.BeginWriting())
        return false;
    std::vector<uint8_t> picture(160 * 120 * 4, 0x80);
    std::vector<int16_t> sound(1470 * 2);
    for (int k = 0; k < 15; k++) {
        for (size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<int16_t>(3000 * sin(0.05 * (k * 1470 + i)));
        writer.WriteAudioSample(reinterpret_cast<const uint8_t*>(sound.data()), sound.size() * 2);
        writer.WriteVideoSample(picture.data(), k * 333333LL);
    }
    return writer.Close() != 0;
}

class Browse : public ::testing::Test {
protected:
    void SetUp() override {
        VQSetKeyStateSource(KeyState);
        VKSetClock(Clock);
        VQSetResourceModule(GetModuleHandleA(nullptr));
        VQSetPlayerSound(&sound);
        CVQBrowsePlayWnd::ResetCascade();
        CVQBrowsePlayWnd::SetWaitForDecoding(1);
        g_down.clear();
        folder = CurrentFolder() + "browse_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        RemoveFiles(folder);
        CreateDirectoryA((folder + "sub").c_str(), nullptr);
        CreateDirectoryA((folder + "zz.wmv").c_str(), nullptr);  // a folder named like a video
        WriteBytes(folder + "a.rec", 1023);
        WriteBytes(folder + "b.wmv", 1024);
        WriteBytes(folder + "notes.txt", 10);
        store.Setting("recorderFolder", folder);
        store.Setting("serverAddr", "127.0.0.1");
        store.Setting("serverPortHTTP", "9");
        hud = new CVQHUD();
        hud->Init();
        page = new Page();
        page->CreateFrame(100, 100, 400, 312);
        hud->AddWindow(page);
        browser = new CVQBrowseWnd();
        browser->Create(2, 74, 382, 183, page);
        page->AddChild(browser);
        bar = new CVQScrollBarV();
        bar->Create(384, 74, 15, 183, page);
        bar->SetPage(183);
        page->AddChild(bar);
        browser->AttachScrollBar(bar);
    }
    void TearDown() override {
        delete hud;
        CVQBrowsePlayWnd::SetWaitForDecoding(0);
        VQSetPlayerSound(nullptr);
        VQSetKeyStateSource(nullptr);
        VKSetClock(nullptr);
    }
    int Index(const char* name) {
        for (int i = 0; i < browser->Count(); ++i)
            if (std::string(browser->EntryName(i)) == name) return i;
        return -1;
    }
    void SelectName(const char* name) {
        const int i = Index(name);
        ASSERT_GE(i, 0) << name;
        browser->Select(i);
    }
    // Left button down and up on the browser's row (screen coordinates).
    void ClickRow(int row) {
        const int x = page->GetX() + browser->GetX() + 40;
        const int y = page->GetY() + browser->GetY() + 12 + 12 * row + 6 - bar->GetPosition();
        int handled = 0;
        hud->OnMouseInput(WM_LBUTTONDOWN, 0, Pack(x, y), &handled);
        hud->OnMouseInput(WM_LBUTTONUP, 0, Pack(x, y), &handled);
    }
    CVQMsgBox* TopBox() {
        for (int i = hud->Windows().Count() - 1; i >= 0; --i) {
            CVQWindow* w = static_cast<CVQWindow*>(hud->Windows().Get(i));
            if (w->Kind() == CVQFrmWnd::kMessageBox) return static_cast<CVQMsgBox*>(w);
        }
        return nullptr;
    }
    template <class T>
    std::vector<T*> WindowsOf(int kind) {
        std::vector<T*> found;
        for (int i = 0; i < hud->Windows().Count(); ++i) {
            CVQWindow* w = static_cast<CVQWindow*>(hud->Windows().Get(i));
            if (w->Kind() == kind && dynamic_cast<T*>(w)) found.push_back(dynamic_cast<T*>(w));
        }
        return found;
    }

    KeyStore store;
    FakeSound sound;
    std::string folder;
    CVQHUD* hud = nullptr;
    Page* page = nullptr;
    CVQBrowseWnd* browser = nullptr;
    CVQScrollBarV* bar = nullptr;
};

}  // namespace

TEST_F(Browse, ListsRecordingsVideosAndFoldersWithSizes) {
    EXPECT_EQ(page->told, 1);  // kind 0 at creation
    EXPECT_EQ(page->kind, kVQBrowseNone);
    EXPECT_FALSE(browser->IsListed());
    browser->PrepareSurface();  // the first drawing lists the recorder folder
    ASSERT_TRUE(browser->IsListed());
    EXPECT_EQ(std::string(browser->Folder()), folder);
    std::vector<std::string> names;
    for (int i = 0; i < browser->Count(); ++i) names.push_back(browser->EntryName(i));
    EXPECT_EQ(names, (std::vector<std::string>{"..", "a.rec", "b.wmv", "sub", "zz.wmv"}));
    EXPECT_EQ(browser->EntryText(Index("a.rec")), "a.rec - 1023.00 b");
    EXPECT_EQ(browser->EntryText(Index("b.wmv")), "b.wmv - 1.00 kb");
    EXPECT_EQ(bar->GetRange(), 12 * 5 + 12);

    // A new folder selects its first entry; the parent hears every kind.
    EXPECT_EQ(browser->Selected(), 0);
    EXPECT_EQ(page->kind, kVQBrowseFolder);
    SelectName("b.wmv");
    EXPECT_EQ(page->kind, kVQBrowseVideo);
    EXPECT_EQ(std::string(browser->SelectedPath()), folder + "b.wmv");
    SelectName("zz.wmv");
    EXPECT_EQ(page->kind, kVQBrowseFolder);
    EXPECT_EQ(std::string(browser->SelectedPath()), folder + "zz.wmv\\");
    browser->Select(99);  // clamped
    EXPECT_EQ(browser->Selected(), browser->Count() - 1);

    // Into a folder and back up with "..".
    SelectName("sub");
    browser->Open();
    EXPECT_EQ(std::string(browser->Folder()), folder + "sub\\");
    EXPECT_EQ(browser->Count(), 1);
    EXPECT_EQ(std::string(browser->SelectedPath()), "..");
    browser->Open();
    EXPECT_EQ(std::string(browser->Folder()), folder);

    // Up and Down walk the list (and stay inside it); Enter opens.
    browser->Select(0);
    int handled = 0;
    browser->OnKeyboard(WM_KEYDOWN, VK_UP, 1, &handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(browser->Selected(), 0);
    browser->OnKeyboard(WM_KEYDOWN, VK_DOWN, 1, &handled);
    EXPECT_EQ(std::string(browser->EntryName(browser->Selected())), "a.rec");
}

TEST_F(Browse, DriveRootKeepsItsFirstEntryAndDotDotStaysThere) {
    browser->List("Z:\\", 0);
    ASSERT_EQ(std::string(browser->Folder()), "Z:\\");
    ASSERT_GT(browser->Count(), 0);
    EXPECT_NE(std::string(browser->EntryName(0)), "..");
    EXPECT_GE(Index("tmp"), 0);
    EXPECT_GE(Index("usr"), 0);
    browser->List("..", 0);
    EXPECT_EQ(std::string(browser->Folder()), "Z:\\");
    // A folder that does not exist lists nothing but the way back.
    browser->List((folder + "missing").c_str(), 0);
    EXPECT_EQ(browser->Count(), 1);
    EXPECT_EQ(std::string(browser->EntryName(0)), "..");
}

TEST_F(Browse, EncodeHandsOverAndTheListFollowsTheProgress) {
    browser->PrepareSurface();
    SelectName("a.rec");
    const std::string path = folder + "a.rec";
    browser->Encode();
    CVQMsgBox* box = TopBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(
        std::string(box->GetMessageText()),
        "Orvalo Desktop will encode the file\n(also after you exit the game).\n\nDo you wish to encode the file?");
    EXPECT_EQ(box->GetLines(), 4);
    SelectName("b.wmv");  // what is selected later does not matter
    box->Answer(CVQMsgBox::kOk);
    EXPECT_EQ(store.Job(0, "fileName"), path);
    EXPECT_EQ(store.Job(0, "progress"), "-1");
    EXPECT_EQ(browser->EntryText(Index("a.rec")), "a.rec - 1023.00 b (-1%)");

    // The first poll is due at once, then every 3000 ms.
    store.SetJob(0, "progress", "45");
    EXPECT_TRUE(browser->PollJobs());
    EXPECT_EQ(browser->EntryText(Index("a.rec")), "a.rec - 1023.00 b (45%)");
    // A poll that finds the same progress draws nothing again.
    browser->PrepareSurface();
    browser->GetGraphics()->SetDirty(0);
    g_now += 3000;
    EXPECT_TRUE(browser->PollJobs());
    browser->PrepareSurface();
    EXPECT_FALSE(browser->GetGraphics()->IsDirty());
    g_now += 1000;
    store.SetJob(0, "progress", "100");
    WriteBytes(folder + "a.wmv", 5000);  // what the desktop writes
    g_now += 1999;
    EXPECT_FALSE(browser->PollJobs());  // 2999 ms: not yet
    browser->PrepareSurface();
    EXPECT_EQ(Index("a.wmv"), -1);
    EXPECT_EQ(browser->EntryText(Index("a.rec")), "a.rec - 1023.00 b (45%)");
    g_now += 1;
    browser->PrepareSurface();  // 3000 ms: "100" ends the job and lists again
    EXPECT_GE(Index("a.wmv"), 0);
    EXPECT_EQ(std::string(browser->EncodeJob()), "");
    EXPECT_EQ(browser->EntryText(Index("a.rec")), "a.rec - 1023.00 b");
    g_now += 10000;
    EXPECT_FALSE(browser->PollJobs());  // no job: no polling
}

TEST_F(Browse, EncodeDecisionsFollowTheJobKey) {
    browser->PrepareSurface();
    SelectName("a.rec");
    const std::string me = folder + "a.rec";
    struct Case {
        const char* file;
        const char* progress;
        int boxKind;
        const char* text;
    } cases[] = {
        {"C:\\other.rec", "45", CVQMsgBox::kConfirmation,
         "Do you want to enqueue the selected file for encoding?\nProgress indication of file currently being encoded "
         "will\nbe lost.\n\nCurrent encoding progress: 45"},
        {"C:\\other.rec", "-1", CVQMsgBox::kConfirmation,
         "Only one file can be queued up for encoding at a time.\nProceeding to encode selected file may cancel the "
         "previous."},
        {nullptr, "45", CVQMsgBox::kMessage, "You are already encoding this file."},
        {nullptr, "-1", CVQMsgBox::kMessage,
         "This file is already enqueued for encoding.\nIf it does not start, make sure that Orvalo Desktop "
         "(desktop.exe)\nis running."},
    };
    for (const Case& c : cases) {
        store.SetJob(0, "fileName", c.file ? c.file : me);
        store.SetJob(0, "progress", c.progress);
        browser->Encode();
        CVQMsgBox* box = TopBox();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->GetBoxKind(), c.boxKind) << c.text;
        EXPECT_EQ(std::string(box->GetMessageText()), c.text);
        box->Answer(CVQMsgBox::kCancel);
        EXPECT_EQ(store.Job(0, "progress"), c.progress);  // nothing written without OK
    }
    // Only recordings are encoded; a refused registry write is not a job.
    SelectName("b.wmv");
    browser->Encode();
    EXPECT_EQ(std::string(TopBox()->GetMessageText()), "Can only encode .rec files");
    TopBox()->Answer(CVQMsgBox::kOk);
    SelectName("a.rec");
    store.values.clear();
    store.refuseWrites = true;
    browser->Encode();
    TopBox()->Answer(CVQMsgBox::kOk);
    EXPECT_EQ(std::string(browser->EncodeJob()), "");
    EXPECT_EQ(std::string(TopBox()->GetMessageText()), "Could not hand the file over to Orvalo Desktop.");
}

TEST_F(Browse, UploadTakesThePathThePlayerConfirmed) {
    browser->PrepareSurface();
    SelectName("b.wmv");
    browser->Upload();
    TopBox()->Answer(CVQMsgBox::kOk);
    CVQMsgBox* titleBox = TopBox();
    ASSERT_TRUE(titleBox);
    EXPECT_EQ(titleBox->GetBoxKind(), CVQMsgBox::kTextInput);
    EXPECT_EQ(std::string(titleBox->GetMessageText()), "Type in a title for the video");
    SelectName("a.rec");  // the selection moves while the title is typed
    titleBox->TextField()->SetText("My clip");
    titleBox->Answer(CVQMsgBox::kOk);
    EXPECT_EQ(store.Job(1, "fileName"), folder + "b.wmv");
    EXPECT_EQ(store.Job(1, "title"), "My clip");
    EXPECT_EQ(store.Job(1, "progress"), "-1");
    EXPECT_EQ(std::string(browser->UploadJob()), folder + "b.wmv");

    // Without a title nothing is handed over.
    store.values.clear();
    SelectName("b.wmv");
    browser->Upload();
    TopBox()->Answer(CVQMsgBox::kOk);
    TopBox()->Answer(CVQMsgBox::kOk);
    EXPECT_EQ(store.Job(1, "fileName"), "(none)");
    SelectName("a.rec");
    browser->Upload();
    EXPECT_EQ(std::string(TopBox()->GetMessageText()), "Can only upload .wmv files");
}

TEST_F(Browse, ClicksSelectAndOnlyAQuickSecondPressOpens) {
    browser->PrepareSurface();
    const int sub = Index("sub");
    ClickRow(sub);
    EXPECT_EQ(browser->Selected(), sub);
    EXPECT_EQ(hud->FocusWindow(), browser);
    g_now += 600;
    ClickRow(sub);  // 600 ms later: a second selection, nothing opened
    EXPECT_EQ(std::string(browser->Folder()), folder);
    g_now += 400;
    ClickRow(sub);  // 400 ms after the last: opens
    EXPECT_EQ(std::string(browser->Folder()), folder + "sub\\");

    // A quick second press on another row only selects it.
    browser->List(folder.c_str(), 0);
    ClickRow(Index("a.rec"));
    g_now += 100;
    ClickRow(Index("b.wmv"));
    EXPECT_EQ(std::string(browser->EntryName(browser->Selected())), "b.wmv");
    EXPECT_TRUE(WindowsOf<CVQBrowsePlayWnd>(CVQFrmWnd::kView).empty());
}

TEST_F(Browse, DeleteAsksNamesTheFileAndListsAgain) {
    WriteBytes(folder + "gone.rec", 10);
    browser->PrepareSurface();
    SelectName("gone.rec");
    browser->Delete();
    CVQMsgBox* box = TopBox();
    ASSERT_TRUE(box);
    // The path is broken into lines of 60 characters.
    EXPECT_EQ(std::string(box->GetMessageText()), VQDeleteQuestion(folder + "gone.rec"));
    EXPECT_GE(box->GetLines(), 3);
    box->Answer(CVQMsgBox::kOk);
    EXPECT_EQ(GetFileAttributesA((folder + "gone.rec").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Index("gone.rec"), -1);

    // The file went away behind the player's back.
    SelectName("a.rec");
    browser->Delete();
    DeleteFileA((folder + "a.rec").c_str());
    TopBox()->Answer(CVQMsgBox::kOk);
    EXPECT_EQ(std::string(TopBox()->GetMessageText()), "Could not delete file: File not found");
    SelectName("sub");
    browser->Delete();
    EXPECT_EQ(std::string(TopBox()->GetMessageText()), "Can only delete .wmv and .rec files");
}

TEST_F(Browse, PlayersCascadeAndTheSeventhWrapsToTheFirstOffset) {
    browser->PrepareSurface();
    SelectName("a.rec");
    browser->Play();
    EXPECT_EQ(std::string(TopBox()->GetMessageText()), "Can only play .wmv files");
    TopBox()->Answer(CVQMsgBox::kOk);
    SelectName("b.wmv");  // not a real video: the player shows "ERROR"
    for (int i = 0; i < 7; ++i) browser->Play();
    std::vector<CVQBrowsePlayWnd*> players = WindowsOf<CVQBrowsePlayWnd>(CVQFrmWnd::kView);
    ASSERT_EQ(players.size(), 7u);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(players[i]->GetY(), 50 + 20 * (i % 6)) << i;
    EXPECT_EQ(players[6]->GetY(), players[0]->GetY());
    EXPECT_FALSE(players[0]->IsOpened());
    EXPECT_EQ(hud->Players().Count(), 0);           // a video that did not open is not stepped
    EXPECT_EQ(players[0]->InputWindow(), nullptr);  // no .di beside it
}

TEST_F(Browse, PlayerPlaysTheVideoWithItsInputReplayAndLetsGoOfItsSound) {
    const std::string video = folder + "clip.wmv";
    ASSERT_TRUE(MakeVideo(video));
    {
        FILE* f = fopen((folder + "clip.di").c_str(), "wb");
        ASSERT_TRUE(f);
        fputs(
            "\"50\",\"0\",\"c30\",\"250\",\"1\",\"c30\",\"60\",\"0\",\"e255\",\"70\",\"0\","
            "\"c999999999999999999999999999999\"",
            f);
        fclose(f);
    }
    LogCapture log;
    CVQBrowsePlayWnd* player = new CVQBrowsePlayWnd();
    ASSERT_TRUE(player->Open(520, 50, 320, 240, video.c_str()));
    hud->AddWindow(player);
    ASSERT_TRUE(player->IsOpened());
    EXPECT_EQ(player->Width(), 640 + 4);  // the video's size (the profile's 640 x 480) plus the frame
    EXPECT_EQ(player->Height(), 480 + 12);
    EXPECT_EQ(hud->Players().Count(), 1);
    CVQBrowseDiWnd* input = player->InputWindow();
    ASSERT_TRUE(input);
    EXPECT_EQ(input->Player(), player);
    EXPECT_TRUE(input->IsFileOpen());
    EXPECT_EQ(input->GetY(), 50 + 492 + 12);
    EXPECT_EQ(log.Count("NEW DEVICEINPUT"), 1);

    // Frames: the A key goes down at 50 ms and up at 250 ms.
    const VQKeyRect key = input->KeyRect(VQDiKeyIndex("c30"));
    uint32_t before = 0, marked = 0, after = 0;
    input->GetGraphics()->GetPixel(key.x, key.y, &before);
    for (int i = 0; i < 10; ++i) {
        g_now += 10;
        hud->Update();
    }
    input->GetGraphics()->GetPixel(key.x, key.y, &marked);
    EXPECT_EQ(marked & 0xFFFFFF, 0xFF0000u);
    EXPECT_NE(before & 0xFFFFFF, 0xFF0000u);
    for (int i = 0; i < 30; ++i) {
        g_now += 10;
        hud->Update();
    }
    input->GetGraphics()->GetPixel(key.x, key.y, &after);
    EXPECT_EQ(after & 0xFFFFFF, before & 0xFFFFFF);
    EXPECT_EQ(input->EventsDrawn(), 4);  // hostile names are read and skipped
    EXPECT_GT(player->FramesShown(), 3);
    ASSERT_EQ(sound.opened.size(), 1u);
    EXPECT_EQ(sound.opened[0].rate, 44100);
    EXPECT_EQ(sound.opened[0].channels, 2);
    EXPECT_EQ(sound.opened[0].bytes, 2);
    EXPECT_GT(sound.played, 0);

    // Zoom stays within its bounds whatever the player does.
    for (int i = 0; i < 16; ++i) player->ChangeZoom(1.1);
    EXPECT_DOUBLE_EQ(player->ZoomPercent(), 400.0);
    EXPECT_EQ(player->Width(), 2560 + 4);
    int handled = 0;
    player->OnMouse(WM_MOUSEWHEEL, static_cast<uint32_t>(static_cast<uint16_t>(-24000)) << 16,
                    Pack(player->GetX() + 50, player->GetY() + 50), &handled);
    for (int i = 0; i < 30; ++i) player->ChangeZoom(0.9);
    EXPECT_DOUBLE_EQ(player->ZoomPercent(), 10.0);
    EXPECT_EQ(player->ShownWidth(), 64);

    // Hidden, it does not run ahead; shown again it goes on where it was.
    player->SetVisible(0);
    const int64_t media = player->MediaTime();
    g_now += 5000;
    hud->Update();
    player->SetVisible(1);
    g_now += 10;
    hud->Update();
    EXPECT_LT(player->MediaTime(), media + 100);

    // Closing the player closes its sound channel and its replay window.
    EXPECT_EQ(sound.open.size(), 1u);
    player->Close();
    EXPECT_TRUE(sound.open.empty());
    EXPECT_EQ(hud->Players().Count(), 0);
    hud->Update();
    EXPECT_TRUE(WindowsOf<CVQBrowseDiWnd>(CVQFrmWnd::kView).empty());
}

TEST_F(Browse, ClosingTheReplayAloneDetachesItFromThePlayer) {
    const std::string video = folder + "clip.wmv";
    ASSERT_TRUE(MakeVideo(video));
    WriteBytes(folder + "clip.di", 0);
    CVQBrowsePlayWnd* player = new CVQBrowsePlayWnd();
    ASSERT_TRUE(player->Open(520, 50, 320, 240, video.c_str()));
    hud->AddWindow(player);
    ASSERT_TRUE(player->InputWindow());
    player->InputWindow()->Close();
    EXPECT_EQ(player->InputWindow(), nullptr);
    hud->Update();  // the replay window is deleted now
    for (int i = 0; i < 100; ++i) {
        g_now += 20;
        hud->Update();  // playing on, to the end and past it, touches nothing that is gone
    }
    EXPECT_FALSE(player->IsPlaying());  // stopped at the end
    EXPECT_EQ(player->MediaTime(), 0);
    EXPECT_TRUE(sound.open.empty());  // the end lets go of the sound
    // Deleting the HUD deletes the player (no Close) without touching the replay.
}

TEST_F(Browse, PausedPlayerDecodesNothingAndClosesWhileDecoding) {
    const std::string video = folder + "clip.wmv";
    ASSERT_TRUE(MakeVideo(video));
    CVQBrowsePlayWnd* player = new CVQBrowsePlayWnd();
    ASSERT_TRUE(player->Open(520, 50, 320, 240, video.c_str()));
    hud->AddWindow(player);
    ASSERT_TRUE(player->Decoding());
    for (int i = 0; i < 5; ++i) {
        g_now += 20;
        hud->Update();
    }
    const int64_t shown = player->FramesShown();
    EXPECT_GT(shown, 1);

    // Paused: the clock runs, a zoom changes the size asked for, and still
    // nothing is decoded or shown.
    player->TogglePlay();
    EXPECT_FALSE(player->IsPlaying());
    ASSERT_EQ(1, player->Decoding()->WaitUntilIdle(5000));
    const int64_t decoded = player->Decoding()->Processed();
    const int64_t media = player->MediaTime();
    player->ChangeZoom(0.5);
    for (int i = 0; i < 20; ++i) {
        g_now += 20;
        hud->Update();
    }
    ASSERT_EQ(1, player->Decoding()->WaitUntilIdle(5000));
    EXPECT_EQ(player->Decoding()->Processed(), decoded);
    EXPECT_EQ(player->FramesShown(), shown);
    EXPECT_EQ(player->MediaTime(), media);

    // Playing again goes on from there with pictures of the new size.
    player->TogglePlay();
    for (int i = 0; i < 5; ++i) {
        g_now += 20;
        hud->Update();
    }
    EXPECT_GT(player->Decoding()->Processed(), decoded);
    EXPECT_GT(player->FramesShown(), shown);
    EXPECT_GT(player->MediaTime(), media);

    // Closed while the thread decodes (no waiting for it first): the thread
    // is told to end, and the window's deletion on the next frame waits for it.
    CVQBrowsePlayWnd::SetWaitForDecoding(0);
    player->Decoding()->Restart();
    player->Close();
    EXPECT_TRUE(sound.open.empty());
    EXPECT_EQ(hud->Players().Count(), 0);
    hud->Update();
    EXPECT_TRUE(WindowsOf<CVQBrowsePlayWnd>(CVQFrmWnd::kView).empty());
}

TEST_F(Browse, DamagedVideoEndsThePlayerCleanly) {
    const std::string good = folder + "good.wmv";
    ASSERT_TRUE(MakeVideo(good));
    std::vector<char> bytes;
    {
        FILE* f = fopen(good.c_str(), "rb");
        ASSERT_TRUE(f);
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
        fclose(f);
    }
    ASSERT_GT(bytes.size(), 4000u);
    for (size_t i = bytes.size() / 4; i < bytes.size(); i += 61) bytes[i] ^= 0x5A;
    const std::string video = folder + "damaged.wmv";
    {
        FILE* f = fopen(video.c_str(), "wb");
        ASSERT_TRUE(f);
        fwrite(bytes.data(), 1, bytes.size() * 2 / 3, f);  // damaged and cut short
        fclose(f);
    }
    CVQBrowsePlayWnd* player = new CVQBrowsePlayWnd();
    ASSERT_TRUE(player->Open(520, 50, 320, 240, video.c_str()));
    hud->AddWindow(player);
    ASSERT_TRUE(player->IsOpened());
    for (int i = 0; i < 100 && player->IsPlaying(); ++i) {
        g_now += 20;
        hud->Update();
    }
    EXPECT_FALSE(player->IsPlaying());  // the end came, as for a whole file
    EXPECT_EQ(player->MediaTime(), 0);
    EXPECT_TRUE(sound.open.empty());
    EXPECT_STREQ(player->ButtonAt(CVQBrowsePlayWnd::kPlay)->GetCaption(), "Play");
    // Played again, it ends again.
    player->TogglePlay();
    for (int i = 0; i < 100 && player->IsPlaying(); ++i) {
        g_now += 20;
        hud->Update();
    }
    EXPECT_FALSE(player->IsPlaying());
    player->Close();
}
