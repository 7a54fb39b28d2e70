#include "CVKJobWorker.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "CVKInternet.h"
#include "CVKWMVEncoder.h"
#include "VKJpeg.h"
#include "VKLog.h"
#include "VKNetEndpoints.h"
#include "VKScramble.h"
#include "VKSettings.h"
#include "VKThumbnail.h"
#include "VKUploadText.h"
#include "VKWinRegistry.h"

namespace {
const char* const kJobKeys[2] = {VK_DESKTOP_KEY "\\JobEncode", VK_DESKTOP_KEY "\\JobUpload"};
const char* const kMaintenance =
    "The server seems to be down for maintenance at the moment.\nWe appologize for the inconvenience. Please try "
    "again later! :)";
const char* const kFull =
    "The server seems to be either full or down for maintenance at the moment.\nWe appologize for the "
    "inconvenience. Please try again later! :)";
const DWORD kTimeoutMs = 15000;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NetworkErrorText(DWORD code) {
    char text[512] = {0};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                             GetModuleHandleA("wininet.dll"), code, 0, text, sizeof text, nullptr);
    if (!n)
        n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                           sizeof text, nullptr);
    return n ? std::string(text, n) : "Network error " + std::to_string(code);
}

bool ReadWholeFile(const std::string& path, std::string* bytes, size_t limit) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    char chunk[8192];
    size_t n;
    bytes->clear();
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0 && bytes->size() <= limit) bytes->append(chunk, n);
    fclose(f);
    return bytes->size() <= limit;
}
}  // namespace

CVKJobWorker::CVKJobWorker(IVKJobView* view)
    : m_view(view),
      m_budgetMs(50),
      m_session(nullptr),
      m_ftp(nullptr),
      m_remote(nullptr),
      m_file(INVALID_HANDLE_VALUE),
      m_size(0),
      m_sent(0) {
    m_session = InternetOpenA("BRINMOOR Player", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (m_session) {
        DWORD timeout = kTimeoutMs;
        InternetSetOptionA(m_session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
        InternetSetOptionA(m_session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
        InternetSetOptionA(m_session, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
    }
}

CVKJobWorker::~CVKJobWorker() {
    CloseUpload();
    m_encode.Close();
    m_avi.Close();
    if (m_session) InternetCloseHandle(m_session);
}

std::string CVKJobWorker::ReadJobValue(int key, const char* name, const char* def) {
    return ReadRegistryString(kJobKeys[key ? 1 : 0], name, def);
}

void CVKJobWorker::WriteJobValue(int key, const char* name, const std::string& value) {
    WriteRegistryString(kJobKeys[key ? 1 : 0], name, value);
}

void CVKJobWorker::GetLogin(std::string* user, std::string* password) {
    *user = VKGetSetting("loginName", "").Str();
    *password = VKScramblePassword(VKGetSetting("loginPassword", "").Str());
}

void CVKJobWorker::OnUploadQueued(const VKJob& job) {
    const std::string& path = job.field[kJobFilePath];
    MakeThumbnail(FolderOf(path), VKFileNameOf(path), 0);
}

// ------------------------------------------------------------------ encode

int CVKJobWorker::StartRecEncode(const VKJob& job) {
    const std::string& input = job.field[kJobFilePath];
    int missing = 0;
    if (!m_encode.Start(input.c_str(), VKReplaceExtension(input, ".wmv").c_str(), atoi(job.field[kJobProfile].c_str()),
                        &missing)) {
        if (missing)
            m_view->Message("You need Microsoft Windows Media Format 9 Series in order to encode video files.\r\n",
                            MB_ICONEXCLAMATION);
        return 0;
    }
    m_encodeName = VKFileNameOf(input);
    m_view->SetEncoding("Encoding: " + m_encodeName, 0);
    return 1;
}

int CVKJobWorker::StepRecEncode(int* percent) {
    const int r = m_encode.Step(m_budgetMs);
    *percent = m_encode.Percent();
    m_view->SetEncoding("Encoding: " + m_encodeName, *percent);
    m_view->SetStatus("Processed: " + std::to_string(m_encode.Position()) + " bytes of " +
                      std::to_string(m_encode.FileSize()) + " bytes");
    int w = 0, h = 0;
    if (const uint8_t* picture = m_encode.Preview(&w, &h)) m_view->ShowPreview(picture, w, h);
    return r == CVKRecToWmv::kMore ? kStepMore : r == CVKRecToWmv::kDone ? kStepDone : kStepFailed;
}

int CVKJobWorker::FinishRecEncode() {
    const int ok = m_encode.Finish();
    m_view->SetEncoding("Encoding:", 0);
    m_view->SetStatus("-");
    return ok;
}

// A segment "name0001.avi" becomes "name0001.wmv".
int CVKJobWorker::StartAviEncode(const VKJob& job) {
    const std::string& input = job.field[kJobFilePath];
    if (!m_avi.Start(input.c_str(), VKReplaceExtension(input, ".wmv").c_str(), atoi(job.field[kJobProfile].c_str())))
        return 0;
    m_encodeName = VKFileNameOf(input);
    m_view->SetEncoding("Encoding: " + m_encodeName, 0);
    return 1;
}

int CVKJobWorker::StepAviEncode(int* percent) {
    const int r = m_avi.Step(m_budgetMs);
    *percent = m_avi.Percent();
    m_view->SetEncoding("Encoding: " + m_encodeName, *percent);
    return r == CNcAviToWmv::kMore ? kStepMore : r == CNcAviToWmv::kDone ? kStepDone : kStepFailed;
}

int CVKJobWorker::FinishAviEncode() {
    const int ok = m_avi.Finish();
    m_view->SetEncoding("Encoding:", 0);
    return ok;
}

// ------------------------------------------------------------------ upload

std::string CVKJobWorker::Fetch(const std::string& url, bool* ok) {
    CVKInternet* request = new CVKInternet();
    request->Open(url);
    *ok = request->Failed() == 0;
    std::string body = request->Data();
    request->Release();
    return body;
}

bool CVKJobWorker::FetchUploadServers() {
    const std::string url = VKDesktopServiceUrl("getservers.php").Str();
    for (;;) {
        bool ok = false;
        const std::string reply = Fetch(url, &ok);
        if (ok) return VKParseUploadServers(reply, &m_host, &m_user, &m_password);
        if (m_view->Message(std::string("Failed to connect to ") + VKWebSiteUrl("").Str(),
                            MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY)
            return false;
    }
}

HINTERNET CVKJobWorker::ConnectFtp() {
    std::string host;
    unsigned short port = INTERNET_DEFAULT_FTP_PORT;
    if (!m_session || !VKSplitHostPort(m_host, &host, &port, INTERNET_DEFAULT_FTP_PORT)) return nullptr;
    return InternetConnectA(m_session, host.c_str(), port, m_user.c_str(), m_password.c_str(), INTERNET_SERVICE_FTP,
                            INTERNET_FLAG_PASSIVE, 0);
}

int CVKJobWorker::StartUpload(const VKJob& job) {
    CloseUpload();
    m_uploadPath = VKReplaceExtension(job.field[kJobFilePath], ".wmv");
    m_file = CreateFileA(m_uploadPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size = {};
    if (m_file == INVALID_HANDLE_VALUE || !GetFileSizeEx(m_file, &size) || size.QuadPart <= 0) {
        // Nothing to send is a failed job, never an empty upload.
        m_view->Message("Unable to open file: " + m_uploadPath, MB_ICONEXCLAMATION);
        CloseUpload();
        return 0;
    }
    m_size = static_cast<uint64_t>(size.QuadPart);
    m_sent = 0;
    m_view->SetStatus(std::string("Connecting: ") + VKWebSiteUrl("").Str());
    if (!FetchUploadServers()) {
        m_view->Message(kMaintenance, MB_ICONINFORMATION);
        CloseUpload();
        return 0;
    }
    m_view->SetStatus("Connecting: " + m_host);
    m_ftp = ConnectFtp();
    m_remote = m_ftp
                   ? FtpOpenFileA(m_ftp, VKFileNameOf(m_uploadPath).c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0)
                   : nullptr;
    if (!m_remote) {
        LogMessage("CVKJobWorker::StartUpload(): FTP to %s failed (%lu)\r\n", m_host.c_str(), GetLastError());
        m_view->Message("Failed to connect to ftp server " + m_host + "\n\n" + kMaintenance, MB_ICONEXCLAMATION);
        CloseUpload();
        return 0;
    }
    m_view->SetUploading("Uploading: " + VKFileNameOf(m_uploadPath), 0);
    return 1;
}

int CVKJobWorker::StepUpload(int* percent) {
    static std::vector<char> block(kBlockSize);
    DWORD got = 0;
    if (!ReadFile(m_file, block.data(), kBlockSize, &got, nullptr)) {
        m_view->Message("Unable to open file: " + m_uploadPath, MB_ICONEXCLAMATION);
        return kStepFailed;
    }
    if (got == 0) {
        *percent = 100;
        return kStepDone;
    }
    m_sent += got;
    *percent = static_cast<int>(m_sent * 100 / m_size);
    m_view->SetUploading("Uploading: " + VKFileNameOf(m_uploadPath), *percent);
    m_view->SetStatus("Processed: " + std::to_string(m_sent) + " bytes of " + std::to_string(m_size) + " bytes");
    for (DWORD done = 0; done < got;) {
        DWORD written = 0;
        if (!InternetWriteFile(m_remote, block.data() + done, got - done, &written) || written == 0) {
            LogMessage("CVKJobWorker::StepUpload(): FTP write failed (%lu)\r\n", GetLastError());
            m_view->Message("Failed to transfer files to ftp server " + m_host + "\n\n" + kFull, MB_ICONEXCLAMATION);
            return kStepFailed;
        }
        done += written;
    }
    return kStepMore;
}

int CVKJobWorker::FinishUpload() {
    CloseUpload();
    m_view->SetUploading("Uploading:", 0);
    m_view->SetStatus("-");
    return 0;
}

void CVKJobWorker::CloseUpload() {
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    if (m_remote) InternetCloseHandle(m_remote);
    if (m_ftp) InternetCloseHandle(m_ftp);
    m_remote = m_ftp = nullptr;
}

bool CVKJobWorker::FormPost(const std::string& path, const std::string& remoteName, const std::string& contentType) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size = {};
    if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size)) {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        m_view->Message("Unable to open file: " + path, MB_OK);
        return false;
    }
    const std::string head = VKMultipartHead(remoteName, contentType), tail = VKMultipartTail();
    const uint64_t total = head.size() + static_cast<uint64_t>(size.QuadPart) + tail.size();
    HINTERNET connection = m_session ? InternetConnectA(m_session, VKWebServerHost().Str(), VKWebServerPort(), nullptr,
                                                        nullptr, INTERNET_SERVICE_HTTP, 0, 0)
                                     : nullptr;
    HINTERNET request =
        connection ? HttpOpenRequestA(
                         connection, "POST", "/services/desktop." VK_VERSION "/upload.php", nullptr, nullptr, nullptr,
                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION, 0)
                   : nullptr;
    bool sent = false;
    if (request && total <= 0xFFFFFFFFu) {
        const std::string type = VKMultipartContentType();
        HttpAddRequestHeadersA(request, type.c_str(), static_cast<DWORD>(type.size()), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
        INTERNET_BUFFERSA buffers = {};
        buffers.dwStructSize = sizeof buffers;
        buffers.dwBufferTotal = static_cast<DWORD>(total);
        DWORD written = 0;
        sent = HttpSendRequestExA(request, &buffers, nullptr, 0, 0) &&
               InternetWriteFile(request, head.data(), static_cast<DWORD>(head.size()), &written);
        static std::vector<char> block(kBlockSize);
        uint64_t position = 0;
        while (sent) {
            DWORD got = 0;
            if (!ReadFile(file, block.data(), kBlockSize, &got, nullptr)) {
                sent = false;
                break;
            }
            if (got == 0) break;
            LogMessage("Uploading: %u / %u\n", static_cast<unsigned>(position), static_cast<unsigned>(size.QuadPart));
            sent = InternetWriteFile(request, block.data(), got, &written) && written == got;
            position += got;
        }
        sent = sent && InternetWriteFile(request, tail.data(), static_cast<DWORD>(tail.size()), &written) &&
               HttpEndRequestA(request, nullptr, 0, 0);
    }
    const DWORD error = sent ? 0 : GetLastError();
    std::string reply;
    if (sent) {
        char chunk[2048];
        DWORD got = 0;
        while (InternetReadFile(request, chunk, sizeof chunk, &got) && got > 0 && reply.size() < 65536)
            reply.append(chunk, got);
    }
    CloseHandle(file);
    if (request) InternetCloseHandle(request);
    if (connection) InternetCloseHandle(connection);
    if (!sent) {
        m_view->Message(NetworkErrorText(error), MB_OK);
        return false;
    }
    if (reply != "OK") {
        m_view->Message(reply, MB_OK);
        return false;
    }
    return true;
}

int CVKJobWorker::Register(const VKJob& job) {
    const std::string& source = job.field[kJobFilePath];
    const std::string base = VKBaseNameOf(source);
    const std::string thumb = VKReplaceExtension(source, ".jpg"), di = VKReplaceExtension(source, ".di");
    std::string bytes;
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    if (!ReadWholeFile(thumb, &bytes, 8u << 20) || !DecodeJpeg(bytes, &w, &h, &rgb)) {
        m_view->Message("Failed to read BMP or JPEG file", MB_ICONEXCLAMATION);
        return 1;
    }
    m_view->SetStatus("Uploading: " + base + ".jpg");
    HINTERNET ftp = ConnectFtp();
    if (!ftp || !FtpPutFileA(ftp, thumb.c_str(), (base + ".jpg").c_str(), FTP_TRANSFER_TYPE_BINARY, 0))
        m_view->Message("Unable to upload thumb image to " + m_host, MB_ICONEXCLAMATION);
    if (ftp) InternetCloseHandle(ftp);
    if (!FormPost(thumb, base + ".jpg", "image/jpeg")) {
        m_view->Message("Failed to upload thumb image to http://" + m_host, MB_ICONEXCLAMATION);
        return 0;
    }
    m_view->SetStatus("Uploading: " + base + ".di");
    if (GetFileAttributesA(di.c_str()) != INVALID_FILE_ATTRIBUTES && !FormPost(di, base + ".di", "text/plain")) {
        m_view->Message("Failed to upload device input (.di) to http://" + m_host, MB_ICONEXCLAMATION);
        return 0;
    }
    m_view->SetStatus("Registering media on Orvalo..");
    const std::string video = VKReplaceExtension(source, ".wmv");
    int64_t duration = 0;
    int32_t bitRate = 0;
    CVKWMVEncoder::ReadHeader(video.c_str(), &duration, &bitRate);
    bool ok = false;
    const std::string reply = Fetch(std::string(VKDesktopServiceUrl("registermedia.php?").Str()) +
                                        VKRegisterMediaQuery(job, video, duration / 10000, bitRate),
                                    &ok);
    if (ok && reply == "OK") {
        m_view->Message("Successfully uploaded media to Orvalo!", MB_ICONINFORMATION);
        return 1;
    }
    m_view->Message(std::string("Failed to register game on ") + VKWebSiteUrl("").Str() + ": " + reply,
                    MB_ICONEXCLAMATION);
    return 0;
}

void CVKJobWorker::ResetPage() {
    m_encode.Close();
    m_avi.Close();
    CloseUpload();
    m_view->SetUploading("Uploading:", 0);
    m_view->SetEncoding("Encoding:", 0);
    m_view->SetStatus("-");
}
