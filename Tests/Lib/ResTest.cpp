// Results: status word, text form, merging, error texts, the error-text table and the exceptions.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Lib/Res.h"

namespace {

const char kRepeated[] = "\xcf\xe0\xf0\xe0\xec\xe5\xf2\xf0 \xe7\xe0\xe4\xe0\xed \xef\xee\xe2\xf2\xee\xf0\xed\xee";  // Параметр задан повторно

std::string S(const TStr& s) { return s.Str(); }

bool EndsWithCrLf(const TStr& s) { return s.Len() && (s[s.Len() - 1] == '\r' || s[s.Len() - 1] == '\n'); }

}  // namespace

TEST(ResStatus, ConstructionAndSeverity) {
  TRes def;
  EXPECT_EQ(def.Status(), 0u);
  EXPECT_TRUE(def.IsOk());
  EXPECT_STREQ(def.Cmnt().Str(), "");
  EXPECT_EQ(S(def.Txt()), S(ErrTxt(0)));

  struct {
    uint32_t code, svrt;
    uint32_t status;
    bool err;
  } cases[] = {
      {0, 3, 0x00000000u, false},   // a zero code forces severity 0
      {13, 1, 0x4000000Du, false},  // a note, not a failure
      {13, 2, 0x8000000Du, false},
      {87, 3, 0xC0000057u, true},
      {87, 0, 0x00000057u, false},
      {87, 7, 0x00000057u, false},  // not a severity: both bits cleared
  };
  for (auto& c : cases) {
    TRes r(c.code, "x", c.svrt);
    EXPECT_EQ(r.Status(), c.status) << c.code << "/" << c.svrt;
    EXPECT_EQ(r.Code(), c.code);
    EXPECT_EQ(r.IsErr(), c.err);
    EXPECT_EQ(r.IsOk(), !c.err);
    EXPECT_STREQ(r.Cmnt().Str(), "x");
  }

  TRes r(5);
  EXPECT_EQ(r.Status(), 0xC0000005u);
  EXPECT_STREQ(r.Cmnt().Str(), "");
  r.SetSvrt(1);
  EXPECT_EQ(r.Status(), 0x40000005u);
  r.SetSvrt(2);
  EXPECT_EQ(r.Svrt(), 2u);
  r.SetSvrt(4);
  EXPECT_EQ(r.Status(), 5u);
  r.SetCmnt("c");
  EXPECT_STREQ(r.Cmnt().Str(), "c");
}

TEST(ResText, ToStrParts) {
  TRes def;
  EXPECT_EQ(S(def.ToStr(RES_CODE)), "[0x00000000 (0)]");
  EXPECT_EQ(S(def.ToStr(RES_CMNT)), "");

  TRes r(87, kRepeated, 3);
  std::string txt = S(ErrTxt(87));
  ASSERT_FALSE(txt.empty());
  EXPECT_EQ(S(r.ToStr(7)), std::string(kRepeated) + " " + txt + " [0xc0000057 (87)]");
  EXPECT_EQ(S(r.ToStr(RES_CMNT)), kRepeated);
  EXPECT_EQ(S(r.ToStr(RES_TXT)), txt);
  EXPECT_EQ(S(r.ToStr(RES_TXT | RES_CODE)), txt + " [0xc0000057 (87)]");
  EXPECT_EQ(S(r.ToStr(RES_CMNT | RES_CODE)), std::string(kRepeated) + " [0xc0000057 (87)]");
  EXPECT_EQ(S(r.ToStr(0)), "");

  // An own code nobody registered has no text: the separators stay, two blanks in a row.
  TRes own(0x2000FFFFu, "x", 3);
  EXPECT_STREQ(own.Txt().Str(), "");
  EXPECT_EQ(S(own.ToStr(7)), "x  [0xe000ffff (536936447)]");
  TRes note(13, "", 1);
  EXPECT_EQ(S(note.ToStr(RES_CMNT | RES_CODE)), "[0x4000000d (13)]");
}

TEST(ResMerge, FirstCodeAndHighestSeverityWinCommentsAccumulate) {
  TRes ok(0, "a", 3);
  ok.Add(TRes(5, "b", 3));
  EXPECT_EQ(ok.Code(), 5u);
  EXPECT_EQ(ok.Svrt(), 3u);
  EXPECT_STREQ(ok.Cmnt().Str(), "ab");
  EXPECT_EQ(S(ok.Txt()), S(ErrTxt(5)));

  TRes err(5, "e", 3);
  err.Add(TRes(0, "s", 0));
  EXPECT_EQ(err.Status(), 0xC0000005u);
  EXPECT_STREQ(err.Cmnt().Str(), "es");
  err.Add(TRes(87, "", 3));
  EXPECT_EQ(err.Code(), 5u);

  TRes note(13, "n", 1);
  note.Add(TRes(87, "!", 3));
  EXPECT_EQ(note.Status(), 0xC000000Du);
  EXPECT_STREQ(note.Cmnt().Str(), "n!");

  TRes empty;
  empty.Add(TRes(13, "", 1));
  EXPECT_EQ(empty.Status(), 0x4000000Du);
  EXPECT_TRUE(empty.IsOk());

  TRes self(2, "x", 3);
  self.Add(self);
  EXPECT_STREQ(self.Cmnt().Str(), "xx");
  EXPECT_EQ(self.Status(), 0xC0000002u);
}

TEST(ResText, SystemTextsAreTrimmedAndKeepTheLastError) {
  for (uint32_t code : {0u, 2u, 5u, 13u, 87u, 1359u}) {
    TStr t = ErrTxt(code);
    EXPECT_FALSE(t.Empty()) << code;
    EXPECT_FALSE(EndsWithCrLf(t)) << code;
  }
  EXPECT_EQ(GetUserDefaultLangID(), 0x419);
  EXPECT_STREQ(ErrTxt(0x1FFFFFF0u).Str(), "");
  SetLastError(1234);
  ErrTxt(87);
  ErrTxt(0x1FFFFFF0u);
  EXPECT_EQ(GetLastError(), 1234u);
}

TEST(ResText, RegisteredTexts) {
  const char* t1 = "\xce\xf8\xe8\xe1\xea\xe0 \xee\xe4\xed\xe0";  // Ошибка одна
  const char* t2 = "\xce\xf8\xe8\xe1\xea\xe0 \xe4\xe2\xe0";      // Ошибка два
  uint32_t c1 = RegErrTxt(t1);
  uint32_t c2 = RegErrTxt(t2);
  EXPECT_EQ(RegErrTxt(t1), c1);
  EXPECT_EQ(RegErrTxt(t2), c2);
  EXPECT_EQ(c2, c1 + 1);
  EXPECT_STREQ(ErrTxt(c1).Str(), t1);
  EXPECT_STREQ(ErrTxt(c2).Str(), t2);
  TRes r(c2, "", 3);
  EXPECT_STREQ(r.Txt().Str(), t2);
  char code[40];
  snprintf(code, sizeof code, "[0x%08x (%u)]", 0xC0000000u | c2, c2);
  EXPECT_EQ(S(r.ToStr(RES_CODE)), code);

  // Codes are handed out from 0x20000001 up without a gap, whoever registered first.
  ASSERT_GT(c1, 0x20000000u);
  for (uint32_t c = 0x20000001u; c <= c2; ++c) EXPECT_FALSE(ErrTxt(c).Empty()) << std::hex << c;
  EXPECT_TRUE(ErrTxt(c2 + 1).Empty());
}

TEST(ResExc, MessagesByteForByte) {
  EXPECT_STREQ(EOutOfRange("Src/Gen/ydgen", 1277, 5, 3).Msg(), "[EOutOfRange(idx=5,cnt=3)] 'Src/Gen/ydgen' line 1277 ");
  EXPECT_STREQ(EOutOfRange("Inc/ydgen", 1259, 0xFFFFFFFFu, 0).Msg(),
               "[EOutOfRange(idx=4294967295,cnt=0)] 'Inc/ydgen' line 1259 ");
  EXPECT_STREQ(EBadAlloc("Src/Gen/ydgen", 1231, 128).Msg(), "[EBadAlloc(sz=128)] 'Src/Gen/ydgen' line 1231 ");
  EXPECT_STREQ(EInvalidArgument("Src/Gen/ydgen", 1140, "item==NULL").Msg(),
               "[EInvalidArgument(item==NULL)] 'Src/Gen/ydgen' line 1140 ");
  EXPECT_STREQ(EInvalidArgument("Src/Gen/ydgen", 441, "cnt==0").Msg(),
               "[EInvalidArgument(cnt==0)] 'Src/Gen/ydgen' line 441 ");
  // A message far past the first 32 bytes, and a condition with printf conversions in it.
  std::string cond(300, 'c');
  cond += "%s%n";
  EXPECT_EQ(std::string(EInvalidArgument("f", 1, cond.c_str()).Msg()), "[EInvalidArgument(" + cond + ")] 'f' line 1 ");

  TRes r(87, kRepeated, 3);
  EFailure f("Src/sprv/main", 30, r);
  EXPECT_EQ(std::string(f.Msg()), "[EFailure(" + S(r.ToStr(7)) + ")] 'Src/sprv/main' line 30 ");
  EXPECT_EQ(f.Res().Status(), 0xC0000057u);
  EXPECT_EQ(S(f.Res().Cmnt()), kRepeated);
  EFailure copy(f);
  EXPECT_STREQ(copy.Msg(), f.Msg());
  EXPECT_EQ(copy.Res().Code(), 87u);
}

TEST(ResExc, ChkRes) {
  TRes note(13, "n", 1);
  EXPECT_NO_THROW(EXPECT_EQ(&ChkRes("Src/sprv/main", 33, note), &note));
  TRes ok;
  EXPECT_NO_THROW(ChkRes("Src/sprv/main", 33, ok));

  TRes err(87, kRepeated, 3);
  try {
    ChkRes("Src/sprv/main", 34, err);
    FAIL() << "no exception";
  } catch (const EFailure& e) {
    EXPECT_EQ(e.Res().Status(), err.Status());
    EXPECT_EQ(S(e.Res().Cmnt()), kRepeated);
    EXPECT_EQ(std::string(e.Msg()).substr(std::string(e.Msg()).size() - 27), ")] 'Src/sprv/main' line 34 ");
  } catch (const EException&) {
    FAIL() << "not an EFailure";
  }
  try {
    ChkRes("x", 1, TRes(5));
    FAIL() << "no exception";
  } catch (const EException& e) {
    EXPECT_EQ(std::string(e.Msg()).rfind("[EFailure(", 0), 0u);
  }
}
