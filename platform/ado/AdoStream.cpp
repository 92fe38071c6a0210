// ADODB.Stream (see AdoStream.h). The bytes live in one std::string; text goes through the
// stream's StreamCharset one character at a time, so that counts and line separators are found
// without decoding the whole rest. Files are written without ever leaving half a file behind:
// a new file is removed again when writing fails, and a replaced one is written beside its
// target and renamed over it.
#include "AdoStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <new>

#include "AdoError.h"
#include "RecordsetArgs.h"
#include "ValueConversion.h"

namespace kp::ado {
namespace {

constexpr const char16_t* kSrcStream = u"ADODB.Stream";
constexpr size_t kMaxSize = INT_MAX;  // Size and Position are 32-bit LONGs

HRESULT Fail(int number) {
  return AdoFail(AdoErr(number), kSrcStream);
}

std::u16string_view Separator(LineSeparatorEnum s) {
  return s == adLF ? u"\n" : s == adCR ? u"\r" : u"\r\n";
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix((size_t)n);
  }
  return true;
}

// Writes bytes to a new file at path (an existing one fails), or replaces the file when
// overwrite is set; a failure leaves what was there before.
bool SaveBytes(const std::string& path, std::string_view bytes, bool overwrite) {
  static std::atomic<unsigned> counter{0};
  const std::string target =
      overwrite ? path + ".kp-" + std::to_string(getpid()) + "-" + std::to_string(++counter) : path;
  int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes);
  ok = close(fd) == 0 && ok;
  if (ok && overwrite) ok = rename(target.c_str(), path.c_str()) == 0;
  if (!ok) unlink(target.c_str());
  return ok;
}

// Reads the regular file at path into bytes: adErrOpeningFile when it is missing, not a regular
// file or cannot be opened, adErrReadFile when reading fails, adErrOutOfSpace beyond kMaxSize.
HRESULT LoadBytes(const std::string& path, std::string& bytes) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Fail(adErrOpeningFile);
  if ((unsigned long long)st.st_size > kMaxSize) return Fail(adErrOutOfSpace);
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(adErrOpeningFile);
  std::string data;
  HRESULT hr = S_OK;
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) hr = Fail(adErrReadFile);
    if (n <= 0) break;
    if (data.size() + (size_t)n > kMaxSize) {
      hr = Fail(adErrOutOfSpace);
      break;
    }
    data.append(buf, (size_t)n);
  }
  close(fd);
  if (SUCCEEDED(hr)) bytes.swap(data);
  return hr;
}

}  // namespace

AdoStream* AdoStream::From(IUnknown* unknown) {
  if (!unknown) return nullptr;
  _Stream* s = nullptr;
  if (FAILED(unknown->QueryInterface(__uuidof(_Stream), reinterpret_cast<void**>(&s))) || !s) return nullptr;
  auto* mine = dynamic_cast<AdoStream*>(s);
  s->Release();  // the caller's reference keeps it alive
  return mine;
}

HRESULT AdoStream::CheckOpen() const {
  return open_ ? S_OK : Fail(adErrObjectClosed);
}

bool AdoStream::ReadOnly() const {
  return (mode_ & adModeReadWrite) == adModeRead;
}

// A stream opened for reading only takes no changes.
HRESULT AdoStream::CheckWritable() const {
  return ReadOnly() ? Fail(adErrIllegalOperation) : S_OK;
}

HRESULT AdoStream::CheckText() const {
  return type_ == adTypeText ? S_OK : Fail(adErrIllegalOperation);
}

// ---- Properties --------------------------------------------------------------------------------

HRESULT AdoStream::get_Size(LONG* pSize) {
  return OpenValue(pSize, [this] { return (LONG)data_.size(); });
}

HRESULT AdoStream::get_EOS(VARIANT_BOOL* pEOS) {
  return OpenValue(pEOS, [this] { return pos_ >= data_.size() ? VARIANT_TRUE : VARIANT_FALSE; });
}

HRESULT AdoStream::get_Position(LONG* pPos) {
  return OpenValue(pPos, [this] { return (LONG)pos_; });
}

HRESULT AdoStream::put_Position(LONG pos) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (pos < 0) return Fail(adErrInvalidArgument);
  if ((size_t)pos > data_.size() && !ReadOnly()) {
    try {
      data_.resize((size_t)pos, '\0');
    } catch (const std::bad_alloc&) {
      return SetError(E_OUTOFMEMORY, kSrcStream, u"Out of memory.");
    }
  }
  pos_ = (size_t)pos;
  return S_OK;
}

HRESULT AdoStream::get_Type(StreamTypeEnum* ptype) {
  if (!ptype) return E_POINTER;
  *ptype = type_;
  return S_OK;
}

HRESULT AdoStream::put_Type(StreamTypeEnum type) {
  if (type != adTypeBinary && type != adTypeText) return Fail(adErrInvalidArgument);
  if (open_ && pos_ != 0) return Fail(adErrIllegalOperation);
  type_ = type;
  return S_OK;
}

HRESULT AdoStream::get_LineSeparator(LineSeparatorEnum* pLS) {
  if (!pLS) return E_POINTER;
  *pLS = separator_;
  return S_OK;
}

HRESULT AdoStream::put_LineSeparator(LineSeparatorEnum separator) {
  if (separator != adCRLF && separator != adLF && separator != adCR) return Fail(adErrInvalidArgument);
  separator_ = separator;
  return S_OK;
}

HRESULT AdoStream::get_State(ObjectStateEnum* pState) {
  if (!pState) return E_POINTER;
  *pState = open_ ? adStateOpen : adStateClosed;
  return S_OK;
}

HRESULT AdoStream::get_Mode(ConnectModeEnum* pMode) {
  if (!pMode) return E_POINTER;
  *pMode = mode_;
  return S_OK;
}

HRESULT AdoStream::put_Mode(ConnectModeEnum mode) {
  if (open_) return Fail(adErrObjectOpen);
  constexpr unsigned kKnown = adModeReadWrite | adModeShareExclusive | adModeShareDenyNone | adModeRecursive;
  if ((unsigned)mode & ~kKnown) return Fail(adErrInvalidArgument);
  mode_ = mode;
  return S_OK;
}

HRESULT AdoStream::get_Charset(BSTR* pbstrCharset) {
  if (!pbstrCharset) return E_POINTER;
  *pbstrCharset = AllocBstr(charsetName_);
  return S_OK;
}

HRESULT AdoStream::put_Charset(BSTR charset) {
  if (open_ && pos_ != 0) return Fail(adErrIllegalOperation);
  const StreamCharset* found = StreamCharset::Find(BstrView(charset));
  if (!found) return Fail(adErrInvalidArgument);
  charset_ = found;
  charsetName_ = BstrView(charset);
  return S_OK;
}

// ---- Opening and closing -----------------------------------------------------------------------

HRESULT AdoStream::raw_Open(VARIANT source, ConnectModeEnum mode, StreamOpenOptionsEnum options, BSTR, BSTR) {
  if (open_) return Fail(adErrObjectOpen);
  const VARIANT& src = RecordsetArgs::Deref(source);
  if (src.vt == VT_BSTR && !BstrView(src.bstrVal).empty())
    return KP_NOT_IMPLEMENTED("Stream::Open", "source URL %s", ToUtf8(BstrView(src.bstrVal)).c_str());
  if (src.vt == VT_DISPATCH || src.vt == VT_UNKNOWN || options == adOpenStreamFromRecord)
    return KP_NOT_IMPLEMENTED("Stream::Open", "the default stream of a Record");
  if (!RecordsetArgs::Missing(src) && src.vt != VT_NULL && src.vt != VT_BSTR)
    return Fail(adErrInvalidArgument);
  if (options != adOpenStreamUnspecified && options != adOpenStreamAsync) return Fail(adErrInvalidArgument);
  if (mode != adModeUnknown) {
    HRESULT hr = put_Mode(mode);
    if (FAILED(hr)) return hr;
  }
  data_.clear();
  pos_ = 0;
  open_ = true;
  return S_OK;
}

HRESULT AdoStream::raw_Close() {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  std::string().swap(data_);
  pos_ = 0;
  open_ = false;
  return S_OK;
}

HRESULT AdoStream::raw_Cancel() {
  return S_OK;
}

HRESULT AdoStream::raw_Flush() {
  return CheckOpen();
}

// ---- Bytes -------------------------------------------------------------------------------------

HRESULT AdoStream::PutBytes(std::string_view bytes) {
  if (pos_ > kMaxSize || bytes.size() > kMaxSize - pos_) return Fail(adErrOutOfSpace);
  try {
    if (pos_ > data_.size()) data_.resize(pos_, '\0');
    data_.replace(pos_, std::min(bytes.size(), data_.size() - pos_), bytes);
  } catch (const std::bad_alloc&) {
    return SetError(E_OUTOFMEMORY, kSrcStream, u"Out of memory.");
  }
  pos_ += bytes.size();
  return S_OK;
}

HRESULT AdoStream::raw_Read(LONG numBytes, VARIANT* pval) {
  if (!pval) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (type_ != adTypeBinary) return Fail(adErrIllegalOperation);
  if (numBytes < adReadAll) return Fail(adErrInvalidArgument);
  const size_t left = pos_ < data_.size() ? data_.size() - pos_ : 0;
  const size_t n = numBytes == adReadAll ? left : std::min(left, (size_t)numBytes);
  VARIANT out;
  VariantInit(&out);
  if (n == 0) {
    out.vt = VT_NULL;
  } else {
    hr = ValueConversion::MakeByteArray(data_.data() + pos_, n, &out);
    if (FAILED(hr)) return SetError(hr, kSrcStream, u"Out of memory.");
  }
  pos_ += n;
  *pval = out;
  return S_OK;
}

HRESULT AdoStream::raw_Write(VARIANT buffer) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (type_ != adTypeBinary) return Fail(adErrIllegalOperation);
  if (FAILED(hr = CheckWritable())) return hr;
  const VARIANT& b = RecordsetArgs::Deref(buffer);
  if (b.vt != (VT_ARRAY | VT_UI1) || !b.parray || SafeArrayGetDim(b.parray) != 1)
    return Fail(adErrInvalidArgument);
  LONG lo = 0, hi = -1;
  SafeArrayGetLBound(b.parray, 1, &lo);
  SafeArrayGetUBound(b.parray, 1, &hi);
  const char* p = nullptr;
  SafeArrayAccessData(b.parray, (void**)&p);
  hr = PutBytes(std::string_view(p, hi >= lo ? (size_t)((int64_t)hi - lo + 1) : 0));
  SafeArrayUnaccessData(b.parray);
  return hr;
}

HRESULT AdoStream::raw_SetEOS() {
  HRESULT hr = CheckOpen();
  if (FAILED(hr) || FAILED(hr = CheckWritable())) return hr;
  if (pos_ < data_.size()) data_.resize(pos_);
  return S_OK;
}

// ---- Text --------------------------------------------------------------------------------------

std::u16string AdoStream::TakeText(LONG count) {
  std::u16string out;
  const auto* p = reinterpret_cast<const uint8_t*>(data_.data());
  const size_t size = data_.size();
  const std::string_view bom = charset_->Bom();
  if (count != 0 && pos_ == 0 && !bom.empty() && std::string_view(data_).substr(0, bom.size()) == bom)
    pos_ = bom.size();
  const std::u16string_view separator = Separator(separator_);
  while (pos_ < size && (count < 0 || out.size() < (size_t)count)) {
    pos_ += charset_->DecodeOne(p + pos_, size - pos_, out);
    if (count == adReadLine && out.size() >= separator.size() &&
        std::u16string_view(out).substr(out.size() - separator.size()) == separator) {
      out.resize(out.size() - separator.size());
      break;
    }
  }
  return out;
}

std::string AdoStream::EncodeText(std::u16string_view text) const {
  std::string bytes;
  if (pos_ == 0) bytes = charset_->Bom();
  charset_->Encode(text, bytes);
  return bytes;
}

HRESULT AdoStream::raw_ReadText(LONG numChars, BSTR* pbstr) {
  if (!pbstr) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr) || FAILED(hr = CheckText())) return hr;
  if (numChars < adReadLine) return Fail(adErrInvalidArgument);
  *pbstr = AllocBstr(TakeText(numChars));
  return S_OK;
}

HRESULT AdoStream::raw_SkipLine() {
  HRESULT hr = CheckOpen();
  if (FAILED(hr) || FAILED(hr = CheckText())) return hr;
  TakeText(adReadLine);
  return S_OK;
}

HRESULT AdoStream::raw_WriteText(BSTR data, StreamWriteEnum options) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr) || FAILED(hr = CheckText()) || FAILED(hr = CheckWritable())) return hr;
  if (options != adWriteChar && options != adWriteLine) return Fail(adErrInvalidArgument);
  std::u16string text(BstrView(data));
  if (options == adWriteLine) text += Separator(separator_);
  return PutBytes(EncodeText(text));
}

// ---- Copies and files --------------------------------------------------------------------------

HRESULT AdoStream::raw_CopyTo(_Stream* destStream, LONG charNumber) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  AdoStream* dest = From(destStream);
  if (!dest || charNumber < -1) return Fail(adErrInvalidArgument);
  if (FAILED(hr = dest->CheckOpen()) || FAILED(hr = dest->CheckWritable())) return hr;
  if (type_ == adTypeBinary && dest->type_ == adTypeText) return Fail(adErrIllegalOperation);
  const size_t start = pos_;
  if (type_ == adTypeBinary) {
    const size_t left = pos_ < data_.size() ? data_.size() - pos_ : 0;
    const size_t n = charNumber < 0 ? left : std::min(left, (size_t)charNumber);
    pos_ += n;
    return dest->PutBytes(std::string(data_, std::min(start, data_.size()), n));
  }
  // Text: charNumber counts characters; a text destination takes them in its own charset, a
  // binary one the source's bytes as they are.
  std::u16string text = TakeText(charNumber);
  if (dest->type_ == adTypeText) return dest->PutBytes(dest->EncodeText(text));
  return dest->PutBytes(std::string(data_, std::min(start, data_.size()), pos_ - start));
}

HRESULT AdoStream::raw_SaveToFile(BSTR fileName, SaveOptionsEnum options) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (options != adSaveCreateNotExist && options != adSaveCreateOverWrite) return Fail(adErrInvalidArgument);
  if (!SaveBytes(ToUtf8(BstrView(fileName)), data_, options == adSaveCreateOverWrite))
    return Fail(adErrWriteFile);
  pos_ = 0;
  return S_OK;
}

HRESULT AdoStream::raw_LoadFromFile(BSTR fileName) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr) || FAILED(hr = CheckWritable())) return hr;
  hr = LoadBytes(ToUtf8(BstrView(fileName)), data_);
  if (FAILED(hr)) return hr;
  pos_ = 0;
  return S_OK;
}

// ---- Recordset persistence ---------------------------------------------------------------------

HRESULT AdoStream::WriteDocument(std::string_view utf8) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr) || FAILED(hr = CheckWritable())) return hr;
  if (type_ == adTypeText && pos_ == 0) {
    charset_ = StreamCharset::Find(u"utf-8");
    charsetName_ = u"utf-8";
  }
  const size_t start = pos_;
  hr = PutBytes(utf8);
  if (SUCCEEDED(hr)) pos_ = start;
  return hr;
}

HRESULT AdoStream::ReadDocument(std::string& bytes) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  bytes = pos_ < data_.size() ? data_.substr(pos_) : std::string();
  pos_ = std::max(pos_, data_.size());
  return S_OK;
}

}  // namespace kp::ado
