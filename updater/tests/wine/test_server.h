// A small HTTP server on 127.0.0.1 for the checker's version query, run on a thread of the
// test program. It serves one connection at a time and records every request head.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class ServeMode {
  Answer,          // status line, Content-Length and the body, then close
  NeverAnswer,     // accept, read the request, then hold it without a word (and accept no other)
  Trickle,         // a 200 head without length, then one byte of body every 100 ms
  Endless,         // a 200 head without length, the body, then filler bytes as fast as they go
  EndlessChunked,  // a chunked 200: the body as one chunk, then filler chunks as fast as they go
};

bool ServerStart();
void ServerStop();
uint16_t ServerPort();
// How the following connections are answered; also forgets the requests recorded so far and
// ends any streaming or held answer.
void ServerServe(ServeMode mode, int status = 200, std::string body = {});
// Answers the next requests, one each in turn, with a status and a Location header and no body;
// then as ServerServe said. Call after ServerServe.
struct Redirect {
  int Status;
  std::string Location;
};
void ServerRedirectFirst(std::vector<Redirect> redirects);
std::vector<std::string> ServerRequests();
// A port on 127.0.0.1 that nothing listens on.
uint16_t RefusedPort();
