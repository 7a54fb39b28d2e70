#pragma once
// A small web server on 127.0.0.1 for the desktop's Windows tests and
// benchmarks: every request path is answered with the raw response bytes
// registered for it (404 otherwise), then the connection is closed.
#include <winsock2.h>
#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>

class LoopbackHttp {
public:
    LoopbackHttp() : m_listen(INVALID_SOCKET), m_port(0) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        m_listen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        int len = sizeof a;
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        listen(m_listen, 64);
        m_thread = std::thread([this] { Serve(); });
    }
    ~LoopbackHttp() {
        closesocket(m_listen);
        m_thread.join();
        WSACleanup();
    }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    // A complete "200" answer with the body's length.
    void Set(const std::string& path, const std::string& body, int status = 200) {
        Raw(path, "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " + std::to_string(body.size()) +
                      "\r\nConnection: close\r\n\r\n" + body);
    }
    void Raw(const std::string& path, const std::string& response) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answers[path] = response;
    }
    int Requests(const std::string& path) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_count[path];
    }

private:
    void Serve() {
        for (;;) {
            SOCKET c = accept(m_listen, nullptr, nullptr);
            if (c == INVALID_SOCKET) return;
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                int n = recv(c, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                request.append(buffer, n);
            }
            size_t start = request.find(' ') + 1, end = request.find(' ', start);
            std::string path = start > 0 && end != std::string::npos ? request.substr(start, end - start) : "";
            std::string answer = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                ++m_count[path];
                auto it = m_answers.find(path);
                if (it != m_answers.end()) answer = it->second;
            }
            for (size_t sent = 0; sent < answer.size();) {
                int n = send(c, answer.data() + sent, static_cast<int>(answer.size() - sent), 0);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            shutdown(c, SD_SEND);
            closesocket(c);
        }
    }

    SOCKET m_listen;
    unsigned short m_port;
    std::thread m_thread;
    std::mutex m_mutex;
    std::map<std::string, std::string> m_answers;
    std::map<std::string, int> m_count;
};
