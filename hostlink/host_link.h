// What the plug-in does with each incoming code of the host link, apart from
// the socket that carries the bytes.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>

#include "hostlink/wire.h"

namespace dravlin {

constexpr int kCodeStart = 1;
constexpr int kCodeInformation = 8;
constexpr int kCodeCommand = 5;
constexpr int kFirstHostValueCode = 50;
constexpr int kSettingsDirectoryCode = 54;

class HostLinkProtocol {
 public:
  // onStartRequest runs once for every 001 message; the caller posts the start
  // request from it rather than starting at once.
  HostLinkProtocol(WireDecoder::LeadBytePredicate isLeadByte, std::function<void()> onStartRequest);

  // Takes the bytes of one read, in the order they arrived.
  void Receive(const char* data, std::size_t size);

  // The latest payload of code 050 to 054; empty until one arrives.
  const std::string& HostValue(int code) const;

  // The settings directory, the prefix of the menu definition file's path.
  std::string SettingsDirectory() const { return HostValue(kSettingsDirectoryCode); }

 private:
  void Dispatch(const WireMessage& message);

  WireDecoder decoder_;
  std::function<void()> onStartRequest_;
  std::array<std::string, 5> hostValues_;
  bool startRequestedByOpenMessage_ = false;
};

}  // namespace dravlin
