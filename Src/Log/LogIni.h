// The trace log's parameter file: the INI reader and the two loaders (INI format, older line format).
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "Lib/BStr.h"
#include "ydgen.h"

class TWliLog;

// A parameter file larger than this is not read: it cannot be one written by hand.
constexpr uint32_t LOG_INI_MAX = 16u << 20;

// One value line, split at its first "=" (no trimming).
class TLogIniVal : public TYdBsMem {
 public:
  TLogIniVal(const char* line, uint32_t len);
  TCmpRes Cmp(const TLogIniVal& o, int key) const;  // by Key, ignoring case, in lstrcmpiA's order
  // The same, told whether the thread's locale orders plain letters and digits by their folded bytes.
  int CmpKey(const TLogIniVal& o, bool plainLocale) const;
  bool Plain() const { return m_Plain; }  // the key holds only ASCII letters and digits

  TStr Key;
  TStr Val;

 private:
  const char* K() const { return Key.Str() ? Key.Str() : ""; }
  bool m_Plain;
};

class TLogIniSection : public TYdBsMem {
 public:
  explicit TLogIniSection(const char* nm);
  TCmpRes Cmp(const TLogIniSection& o, int key) const;  // by name, ignoring case

  const TStr& Nm() const { return m_Nm; }
  const TLogIniVal* Val(const char* key) const;  // ignoring case; null when absent
  uint32_t Cnt() const { return m_Vals->Cnt(); }
  const TLogIniVal* Get(uint32_t i) const { return m_Vals->Get(i); }
  // Values are gathered in file order and put in key order once, by Seal(): a sorted insert per line
  // took a large file minutes. Equal keys end up latest line first, so Val() gives the last one.
  void Stage(TLogIniVal* v);  // takes ownership
  void Seal();                // once, on a section that holds no values yet

 private:
  TStr m_Nm;
  std::unique_ptr<TList<TLogIniVal>> m_Vals;  // Seal() remakes it with room for all: it grows by fixed steps
  std::vector<std::unique_ptr<TLogIniVal>> m_Staged;
};

class TLogIni : public TYdBsMem {
 public:
  TLogIni();
  // 0 or the system's error code. Lines end at CR, LF or NUL (a file saved as UTF-16 thus reads as
  // short lines that name nothing known); empty lines are skipped.
  uint32_t Read(const char* path);
  // Parses text of len bytes; the same rules as Read().
  void Parse(const char* data, uint32_t len);
  const TLogIniSection* Sctn(const char* nm) const;  // ignoring case; null when absent
  uint32_t Cnt() const { return m_Sctns.Cnt(); }

 private:
  TLogIniSection* AddSctn(const TStr& nm);  // the section of that name, created when missing

  TList<TLogIniSection> m_Sctns;
};

// Reads the whole file but a leading UTF-8 byte-order mark; 0 or the system's error code. data gets a NUL
// behind the bytes read.
uint32_t LogReadFile(const char* path, TCharBuf& data, uint32_t& len);

// Loads the line format: "+XYZ" adds a type pattern, "!IMM" writes out at once.
class TLogPrmsLdr {
 public:
  explicit TLogPrmsLdr(TWliLog& log) : m_Log(log) {}
  virtual ~TLogPrmsLdr() {}
  // Reads the log's parameter file and loads it; 0 or the system's error code.
  virtual uint32_t Load();
  // Loads file contents read before (readRes: the read's result); the caller holds the log's mutex,
  // so the disk is never read under it.
  virtual uint32_t LoadData(uint32_t readRes, const char* data, uint32_t len);

 protected:
  TWliLog& m_Log;
};

// Loads the INI format: keys of [Prms], type and text patterns of [Evts].
class TLogPrmsLdr2 : public TLogPrmsLdr {
 public:
  explicit TLogPrmsLdr2(TWliLog& log) : TLogPrmsLdr(log) {}
  uint32_t LoadData(uint32_t readRes, const char* data, uint32_t len) override;
};
