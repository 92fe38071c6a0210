// Decoding keys from terminal bytes; see KeyReader.h.
#include "KeyReader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace sectionhost {

namespace {

constexpr int kEsc = 0x1B;

// The time a byte of a sequence that has begun may take (terminals send them in one write).
constexpr int kSequenceByteWaitMs = KeyReader::kEscapeWaitMs;

}  // namespace

int KeyReader::ReadByte(int timeoutMs) {
  if (!pending_.empty()) {
    int byte = pending_.front();
    pending_.pop_front();
    return byte;
  }
  for (;;) {
    if (timeoutMs >= 0) {
      pollfd p = {fd_, POLLIN, 0};
      int ready = poll(&p, 1, timeoutMs);
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0) return kEndOfInput;
      if (ready == 0) return kTimeout;
    }
    unsigned char byte = 0;
    ssize_t n = read(fd_, &byte, 1);
    if (n == 1) return byte;
    if (n < 0 && errno == EINTR) continue;
    return kEndOfInput;
  }
}

bool KeyReader::LoneEscape() {
  int next = ReadByte(kEscapeWaitMs);
  if (next == kTimeout) return true;
  if (next >= 0) Unread(static_cast<unsigned char>(next));
  return false;  // a sequence (or the end of the input, seen at the next read)
}

char32_t KeyReader::ReadUtf8(int lead) {
  int extra = 0;
  char32_t ch = 0;
  if (lead < 0x80) return static_cast<char32_t>(lead);
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, ch = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, ch = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, ch = lead & 0x07;
  } else {
    return 0xFFFD;
  }
  for (int i = 0; i < extra; ++i) {
    int next = ReadByte(kSequenceByteWaitMs);
    if (next < 0) return 0xFFFD;
    if ((next & 0xC0) != 0x80) {
      Unread(static_cast<unsigned char>(next));
      return 0xFFFD;
    }
    ch = (ch << 6) | static_cast<char32_t>(next & 0x3F);
  }
  return ch;
}

Key KeyReader::ReadKey() {
  int byte = ReadByte();
  Key key;
  if (byte < 0) {
    key.kind = Key::EndOfInput;
    return key;
  }
  switch (byte) {
    case '\r':
    case '\n':
      key.kind = Key::Enter;
      return key;
    case '\t':
      key.kind = Key::Tab;
      return key;
    case 0x7F:
    case 0x08:
      key.kind = Key::Backspace;
      return key;
    case kEsc:
      if (LoneEscape()) {
        key.kind = Key::Escape;
        return key;
      }
      return ReadSequence();
    default:
      break;
  }
  if (byte < 0x20) {
    key.kind = Key::Other;
    key.ch = static_cast<char32_t>(byte);
    return key;
  }
  key.kind = Key::Char;
  key.ch = ReadUtf8(byte);
  return key;
}

// After ESC: "[" or "O", parameter bytes (0x30-0x3F), intermediate bytes (0x20-0x2F), then a
// final byte (0x40-0x7E). ESC followed by anything else (Alt with a key) is Other.
Key KeyReader::ReadSequence() {
  Key key;
  int introducer = ReadByte(kSequenceByteWaitMs);
  if (introducer != '[' && introducer != 'O') return key;
  std::string parameters;
  int final = kTimeout;
  for (;;) {
    final = ReadByte(kSequenceByteWaitMs);
    if (final < 0) return key;
    if (final >= 0x40 && final <= 0x7E) break;
    parameters += static_cast<char>(final);
  }
  switch (final) {
    case 'A':
      key.kind = Key::Up;
      break;
    case 'B':
      key.kind = Key::Down;
      break;
    case 'C':
      key.kind = Key::Right;
      break;
    case 'D':
      key.kind = Key::Left;
      break;
    case 'H':
      key.kind = Key::Home;
      break;
    case 'F':
      key.kind = Key::End;
      break;
    case 'Z':
      key.kind = Key::BackTab;
      break;
    case '~': {
      std::string number = parameters.substr(0, parameters.find(';'));
      if (number == "1" || number == "7") key.kind = Key::Home;
      if (number == "4" || number == "8") key.kind = Key::End;
      if (number == "3") key.kind = Key::Delete;
      if (number == "5") key.kind = Key::PageUp;
      if (number == "6") key.kind = Key::PageDown;
      break;
    }
    default:
      break;
  }
  return key;
}

void AppendUtf8(std::string* out, char32_t ch) {
  if (ch < 0x80) {
    *out += static_cast<char>(ch);
  } else if (ch < 0x800) {
    *out += static_cast<char>(0xC0 | (ch >> 6));
    *out += static_cast<char>(0x80 | (ch & 0x3F));
  } else if (ch < 0x10000) {
    *out += static_cast<char>(0xE0 | (ch >> 12));
    *out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (ch & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (ch >> 18));
    *out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (ch & 0x3F));
  }
}

}  // namespace sectionhost
