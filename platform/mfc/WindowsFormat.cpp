// printf with Microsoft's rules (see WindowsFormat.h). The format is walked conversion by
// conversion; each argument is fetched from the va_list with the type the Windows format says
// it has, and printed with glibc's snprintf through an equivalent single conversion.
#include "WindowsFormat.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "winnls.h"

namespace kp {
namespace {

enum class Size { Default, Char, Short, Bits32, Bits64, Pointer };

template <class T>
void Append(std::string& out, const std::string& format, T value) {
  char buffer[128];
  int n = snprintf(buffer, sizeof buffer, format.c_str(), value);
  if (n < 0) return;
  if ((size_t)n < sizeof buffer) {
    out.append(buffer, n);
  } else {
    std::string big(n + 1, '\0');
    snprintf(&big[0], big.size(), format.c_str(), value);
    out.append(big.data(), n);
  }
}

std::string WideToGbk(const char16_t* text, int precision) {
  size_t n = 0;
  while (text[n] != 0 && (precision < 0 || n < (size_t)precision)) n++;
  return Narrow(text, n);
}

}  // namespace

std::string FormatWindows(const char* format, va_list args) {
  std::string out;
  if (format == nullptr) return out;
  va_list ap;
  va_copy(ap, args);
  const char* p = format;
  while (*p != '\0') {
    if (*p != '%') {
      const char* next = strchr(p, '%');
      size_t n = next == nullptr ? strlen(p) : (size_t)(next - p);
      out.append(p, n);
      p += n;
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out += '%';
      p++;
      continue;
    }
    // flags, width, precision: copied into the glibc conversion, '*' resolved from the arguments
    std::string format = "%";
    while (*p != '\0' && strchr("-+ #0", *p) != nullptr) format += *p++;
    if (*p == '*') {
      format += std::to_string(va_arg(ap, int));
      p++;
    } else {
      while (*p >= '0' && *p <= '9') format += *p++;
    }
    int precision = -1;
    if (*p == '.') {
      format += *p++;
      if (*p == '*') {
        precision = va_arg(ap, int);
        p++;
      } else {
        precision = 0;
        while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
      }
      format += std::to_string(precision < 0 ? 0 : precision);
      if (precision < 0) format.resize(format.size() - 2);  // a negative precision means none
    }
    Size size = Size::Default;
    bool wide = false;
    if (strncmp(p, "I64", 3) == 0) {
      size = Size::Bits64;
      p += 3;
    } else if (strncmp(p, "I32", 3) == 0) {
      size = Size::Bits32;
      p += 3;
    } else if (strncmp(p, "ll", 2) == 0) {
      size = Size::Bits64;
      p += 2;
    } else if (strncmp(p, "hh", 2) == 0) {
      size = Size::Char;
      p += 2;
    } else if (*p == 'l' || *p == 'w') {
      size = Size::Bits32;
      wide = true;
      p++;
    } else if (*p == 'h') {
      size = Size::Short;
      p++;
    } else if (*p == 'I' || *p == 'z' || *p == 't' || *p == 'j') {
      size = *p == 'j' ? Size::Bits64 : Size::Pointer;
      p++;
    } else if (*p == 'L') {
      p++;
    }
    char conv = *p;
    if (conv == '\0') {
      out.append(start);
      break;
    }
    p++;
    switch (conv) {
      case 'd':
      case 'i': {
        format += "lld";
        long long v =
            (size == Size::Bits64 || size == Size::Pointer) ? va_arg(ap, long long) : va_arg(ap, int);
        if (size == Size::Short) v = (short)v;
        if (size == Size::Char) v = (signed char)v;
        Append(out, format, v);
        break;
      }
      case 'o':
      case 'u':
      case 'x':
      case 'X': {
        format += "ll";
        format += conv;
        unsigned long long v = (size == Size::Bits64 || size == Size::Pointer)
                                   ? va_arg(ap, unsigned long long)
                                   : va_arg(ap, unsigned);
        if (size == Size::Short) v = (unsigned short)v;
        if (size == Size::Char) v = (unsigned char)v;
        Append(out, format, v);
        break;
      }
      case 'e':
      case 'E':
      case 'f':
      case 'F':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        format += conv;
        Append(out, format, va_arg(ap, double));
        break;
      case 'c':
      case 'C': {
        int v = va_arg(ap, int);
        std::string text;
        if (wide || conv == 'C') {
          char16_t unit = (char16_t)v;
          text = Narrow(&unit, 1);
        } else {
          text.assign(1, (char)v);
        }
        format += 's';
        Append(out, format, text.c_str());
        break;
      }
      case 's':
      case 'S': {
        if (wide || conv == 'S') {
          // The precision counts UTF-16 units here; it was applied during the conversion.
          const char16_t* v = va_arg(ap, const char16_t*);
          std::string text = v == nullptr ? std::string("(null)") : WideToGbk(v, precision);
          size_t dot = format.find('.');
          Append(out, (dot == std::string::npos ? format : format.substr(0, dot)) + "s", text.c_str());
        } else {
          const char* v = va_arg(ap, const char*);
          Append(out, format + "s", v == nullptr ? "(null)" : v);
        }
        break;
      }
      case 'p':
        Append(out, "%016llX", (unsigned long long)(uintptr_t)va_arg(ap, void*));
        break;
      case 'n':
        (void)va_arg(ap, void*);
        break;
      default:
        out.append(start, p - start);
        break;
    }
  }
  va_end(ap);
  return out;
}

}  // namespace kp
