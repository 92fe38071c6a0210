// ADODB.Stream: bytes (adTypeBinary) or text (adTypeText, the default) held in memory, read and
// written at a byte Position, with a Charset for text ("Unicode" by default, see StreamCharset),
// lines ended by a LineSeparator (adCRLF by default), and files to load from and save to.
// A Recordset saves itself into a Stream and reopens from one (RecordsetFile).
//
// Only streams opened without a source exist here: Open of a URL or of a Record's default
// stream goes through the not-implemented marker. Everything is synchronous, so Cancel has
// nothing to stop and Flush nothing to write.
//
// Where the documentation is silent (docs/ado.md lists these): failing calls leave their
// out-parameters untouched; a stream opened with adModeRead refuses every change (Write,
// WriteText, SetEOS, LoadFromFile, being a CopyTo destination) with adErrIllegalOperation;
// setting Position beyond Size on a writable stream extends it with zero bytes (a read-only
// stream only moves its Position, as documented); Read(0) and Read at the end answer Null;
// ReadText at the end answers "". Size and Position stay below 2^31 (they are 32-bit LONGs):
// a change beyond is adErrOutOfSpace.
#pragma once
#include <msado15.tlh>

#include <string>
#include <string_view>

#include "AdoObject.h"
#include "StreamCharset.h"

namespace kp::ado {

class AdoStream final : public AdoObject<_Stream> {
 public:
  HRESULT __stdcall get_Size(LONG* pSize) override;
  HRESULT __stdcall get_EOS(VARIANT_BOOL* pEOS) override;
  HRESULT __stdcall get_Position(LONG* pPos) override;
  HRESULT __stdcall put_Position(LONG pos) override;
  HRESULT __stdcall get_Type(StreamTypeEnum* ptype) override;
  HRESULT __stdcall put_Type(StreamTypeEnum type) override;
  HRESULT __stdcall get_LineSeparator(LineSeparatorEnum* pLS) override;
  HRESULT __stdcall put_LineSeparator(LineSeparatorEnum separator) override;
  HRESULT __stdcall get_State(ObjectStateEnum* pState) override;
  HRESULT __stdcall get_Mode(ConnectModeEnum* pMode) override;
  HRESULT __stdcall put_Mode(ConnectModeEnum mode) override;
  HRESULT __stdcall get_Charset(BSTR* pbstrCharset) override;
  HRESULT __stdcall put_Charset(BSTR charset) override;
  HRESULT __stdcall raw_Read(LONG numBytes, VARIANT* pval) override;
  HRESULT __stdcall raw_Open(VARIANT source, ConnectModeEnum mode, StreamOpenOptionsEnum options,
                             BSTR userName, BSTR password) override;
  HRESULT __stdcall raw_Close() override;
  HRESULT __stdcall raw_SkipLine() override;
  HRESULT __stdcall raw_Write(VARIANT buffer) override;
  HRESULT __stdcall raw_SetEOS() override;
  HRESULT __stdcall raw_CopyTo(_Stream* dest, LONG charNumber) override;
  HRESULT __stdcall raw_Flush() override;
  HRESULT __stdcall raw_SaveToFile(BSTR fileName, SaveOptionsEnum options) override;
  HRESULT __stdcall raw_LoadFromFile(BSTR fileName) override;
  HRESULT __stdcall raw_ReadText(LONG numChars, BSTR* pbstr) override;
  HRESULT __stdcall raw_WriteText(BSTR data, StreamWriteEnum options) override;
  HRESULT __stdcall raw_Cancel() override;

  // The stream behind an interface pointer of this library (nullptr for another object).
  static AdoStream* From(IUnknown* unknown);
  // Recordset.Save: writes a persisted recordset (UTF-8 bytes) at Position; a text stream at
  // position 0 takes the charset "utf-8" first. Position ends where the document starts, so
  // that ReadText or Recordset.Open reads it back.
  HRESULT WriteDocument(std::string_view utf8);
  // Recordset.Open: the bytes from Position to the end; Position ends at the end.
  HRESULT ReadDocument(std::string& bytes);

 private:
  HRESULT CheckOpen() const;
  // A property of the open stream: *out = value() (E_POINTER for a null out, 3704 when closed).
  template <class T, class F>
  HRESULT OpenValue(T* out, F value) const {
    if (!out) return E_POINTER;
    HRESULT hr = CheckOpen();
    if (SUCCEEDED(hr)) *out = value();
    return hr;
  }
  bool ReadOnly() const;
  HRESULT CheckWritable() const;
  HRESULT CheckText() const;
  // Replaces bytes at Position by bytes (extending the stream) and moves Position past them.
  HRESULT PutBytes(std::string_view bytes);
  // Decodes up to count characters (-1 all, adReadLine a line) from Position, skipping the
  // byte-order mark at position 0; Position moves past what was read (and past the separator).
  std::u16string TakeText(LONG count);
  // The encoded text for WriteText at Position (the byte-order mark first at position 0).
  std::string EncodeText(std::u16string_view text) const;

  std::string data_;
  size_t pos_ = 0;
  bool open_ = false;
  StreamTypeEnum type_ = adTypeText;
  LineSeparatorEnum separator_ = adCRLF;
  ConnectModeEnum mode_ = adModeUnknown;
  std::u16string charsetName_ = u"Unicode";
  const StreamCharset* charset_ = &StreamCharset::Unicode();
};

}  // namespace kp::ado
