// The tests' HTTP server on 127.0.0.1 (see test_server.h).
#include "test_server.h"

#include <winsock2.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>

namespace {

struct Server {
  SOCKET Listener = INVALID_SOCKET;
  uint16_t Port = 0;
  std::thread Thread;
  std::atomic<bool> Stopping{false};
  std::mutex Lock;  // guards the fields below
  // How to answer; Generation is bumped by ServerServe so that a streaming answer stops when the
  // test moves on.
  struct Answering {
    ServeMode Mode = ServeMode::Answer;
    int Status = 404;
    std::string Body;
    uint32_t Generation = 0;
    std::string Location = {};
  } Now;
  std::vector<Redirect> Redirects;  // answered first, in turn
  std::vector<std::string> Requests;
} server;

std::string ReadHead(SOCKET client) {
  std::string head;
  char chunk[1024];
  for (int count; head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 &&
                  (count = recv(client, chunk, sizeof chunk, 0)) > 0;)
    head.append(chunk, static_cast<size_t>(count));
  return head;
}

bool SendAll(SOCKET client, std::string_view data) {
  while (!data.empty()) {
    const int count = send(client, data.data(), static_cast<int>(std::min<size_t>(data.size(), 65536)), 0);
    if (count <= 0) return false;
    data.remove_prefix(static_cast<size_t>(count));
  }
  return true;
}

bool Current(uint32_t generation) {
  std::lock_guard<std::mutex> hold(server.Lock);
  return generation == server.Now.Generation && !server.Stopping.load();
}

void Answer(SOCKET client, const Server::Answering& answer) {
  const auto [mode, status, body, generation, location] = answer;
  const bool chunked = mode == ServeMode::EndlessChunked;
  auto chunk = [chunked](const std::string& data) {
    char size[16];
    snprintf(size, sizeof size, "%x\r\n", static_cast<unsigned>(data.size()));
    return chunked ? size + data + "\r\n" : data;
  };
  const char* reason = status == 200 ? " OK" : status / 100 == 3 ? " Redirect" : " Not Found";
  std::string head = "HTTP/1.1 " + std::to_string(status) + reason +
                     "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n";
  if (!location.empty()) head += "Location: " + location + "\r\n";
  if (mode == ServeMode::Answer) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  if (chunked) head += "Transfer-Encoding: chunked\r\n";
  while (mode == ServeMode::NeverAnswer && Current(generation)) Sleep(10);
  bool open = mode != ServeMode::NeverAnswer && SendAll(client, head + "\r\n");
  if (mode == ServeMode::Trickle) {
    for (size_t at = 0; open && Current(generation); ++at) {
      open = SendAll(client, at < body.size() ? std::string_view(&body[at], 1) : "x");
      Sleep(100);
    }
  } else {
    open = open && (body.empty() || SendAll(client, chunk(body)));  // a chunk of size 0 would end the body
    const std::string filler = chunk(std::string(65536, 'x'));
    const bool endless = mode == ServeMode::Endless || chunked;
    while (open && endless && Current(generation)) open = SendAll(client, filler);
  }
  shutdown(client, SD_SEND);
  closesocket(client);
}

// Ends when ServerStop closes the listener.
void Serve() {
  while (!server.Stopping.load()) {
    const SOCKET client = accept(server.Listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    DWORD timeout = 5000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    const std::string head = ReadHead(client);
    Server::Answering answer;
    {
      std::lock_guard<std::mutex> hold(server.Lock);
      server.Requests.push_back(head);
      answer = server.Now;
      if (!server.Redirects.empty()) {
        answer = {ServeMode::Answer, server.Redirects[0].Status, "", answer.Generation,
                  server.Redirects[0].Location};
        server.Redirects.erase(server.Redirects.begin());
      }
    }
    Answer(client, answer);
  }
}

SOCKET BindLoopback(uint16_t& port) {
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) return listener;
  sockaddr_in address = {AF_INET, 0, {{.S_addr = htonl(INADDR_LOOPBACK)}}};  // any free port
  int length = sizeof address;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(listener);
    return INVALID_SOCKET;
  }
  port = ntohs(address.sin_port);
  return listener;
}

}  // namespace

bool ServerStart() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  server.Listener = BindLoopback(server.Port);
  if (server.Listener == INVALID_SOCKET || listen(server.Listener, 8) != 0) return false;
  server.Thread = std::thread(Serve);
  return true;
}

void ServerStop() {
  server.Stopping.store(true);
  closesocket(server.Listener);
  if (server.Thread.joinable()) server.Thread.join();
  WSACleanup();
}

uint16_t ServerPort() { return server.Port; }

void ServerServe(ServeMode mode, int status, std::string body) {
  std::lock_guard<std::mutex> hold(server.Lock);
  server.Now = {mode, status, std::move(body), server.Now.Generation + 1};
  server.Redirects.clear();
  server.Requests.clear();
}

void ServerRedirectFirst(std::vector<Redirect> redirects) {
  std::lock_guard<std::mutex> hold(server.Lock);
  server.Redirects = std::move(redirects);
}

std::vector<std::string> ServerRequests() {
  std::lock_guard<std::mutex> hold(server.Lock);
  return server.Requests;
}

uint16_t RefusedPort() {
  uint16_t port = 0;
  const SOCKET probe = BindLoopback(port);
  if (probe == INVALID_SOCKET) return 0;
  closesocket(probe);
  return port;
}
