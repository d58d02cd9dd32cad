// Pattern compiler and backtracking matcher. Node layout: kind (1 byte), distance to the next node
// (2 bytes, high byte first, 0 = none, counted backwards for BACK), then the operand.
#include "Lib/Re.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

void (*ReErrHook)(const char* msg) = nullptr;

namespace {

enum : uint8_t {
  END = 0,      // success
  BOL = 1,      // start of the text
  EOL = 2,      // end of the text
  ANY = 3,      // any one character
  ANYOF = 4,    // one character of the operand set
  ANYBUT = 5,   // one character not in the operand set
  BRANCH = 6,   // try the node behind it, else the next alternative
  BACK = 7,     // loop back to an earlier node
  EXACTLY = 8,  // the operand string
  NOTHING = 9,  // the empty string, a link
  STAR = 10,    // greedy zero or more of the single-character node behind it
  PLUS = 11,    // greedy one or more of the single-character node behind it
  OPEN = 20,    // 21..29 start of group 1..9
  CLOSE = 30,   // 31..39 end of group 1..9
};

const char kMeta[] = "^$.[()|?+*\\";
// The program with its magic byte must fit in 32766 bytes, so that every link fits in 15 bits.
constexpr long kMaxProg = 32766;
// The matcher recurses only for an alternative with a choice and for a compact repeat, so a group repeated
// n times takes n levels. A level takes at most 160 bytes of stack on x64 (-O0 160, -O2 144, measured with
// -fstack-usage), so 2000 levels stay under 320 KiB, less than a third of a 1 MiB thread stack.
constexpr int kMaxDepth = 2000;
// Node steps one ReExec may take: far above any sane log filter (a few ms), but it ends the exponential
// backtracking of patterns such as (a|a)*b within about a tenth of a second.
constexpr uint32_t kMaxSteps = 1u << 24;
constexpr size_t kMaxUndo = 2 * (RE_NSUB - 1) * (kMaxDepth + 1);

enum : int { WORST = 0, HASWIDTH = 1, SIMPLE = 2, SPSTART = 4 };

inline uint8_t Op(const char* p) { return static_cast<uint8_t>(*p); }
inline const char* Operand(const char* p) { return p + 3; }
inline char* Operand(char* p) { return p + 3; }
inline bool IsMult(char c) { return c == '*' || c == '+' || c == '?'; }

void Err(const char* msg) {
  if (ReErrHook) ReErrHook(msg);
}

// Link of a node in a compiled (well-formed) program.
const char* Next(const char* p) {
  int off = (static_cast<uint8_t>(p[1]) << 8) | static_cast<uint8_t>(p[2]);
  if (off == 0) return nullptr;
  return Op(p) == BACK ? p - off : p + off;
}

// ---------------------------------------------------------------------------------------------- compiling

// State of one ReComp. The sizing pass has Code == &Dummy and only counts Size.
struct TComp {
  const char* Parse = nullptr;
  int NPar = 1;
  char Dummy = 0;
  char* Code = nullptr;
  char* CodeEnd = nullptr;
  long Size = 0;

  bool Sizing() const { return Code == &Dummy; }

  void Emit(char b) {
    if (Sizing())
      Size++;
    else if (Code < CodeEnd)
      *Code++ = b;
  }

  char* Node(uint8_t op) {
    char* ret = Code;
    if (Sizing()) {
      Size += 3;
      return ret;
    }
    if (CodeEnd - Code < 3) return ret;
    *Code++ = static_cast<char>(op);
    *Code++ = 0;
    *Code++ = 0;
    return ret;
  }

  // Puts a node in front of the operand that starts at opnd.
  void Insert(uint8_t op, char* opnd) {
    if (Sizing()) {
      Size += 3;
      return;
    }
    if (CodeEnd - Code < 3) return;
    std::memmove(opnd + 3, opnd, Code - opnd);
    Code += 3;
    opnd[0] = static_cast<char>(op);
    opnd[1] = 0;
    opnd[2] = 0;
  }

  // Sets the link of the last node of the chain at p to val.
  void Tail(char* p, char* val) {
    if (p == &Dummy) return;
    char* scan = p;
    for (;;) {
      char* n = const_cast<char*>(Next(scan));
      if (!n) break;
      scan = n;
    }
    long off = Op(scan) == BACK ? scan - val : val - scan;
    scan[1] = static_cast<char>((off >> 8) & 0xFF);
    scan[2] = static_cast<char>(off & 0xFF);
  }

  // Tail on the operand of a BRANCH node; nothing for other nodes.
  void OpTail(char* p, char* val) {
    if (!p || p == &Dummy || Op(p) != BRANCH) return;
    Tail(Operand(p), val);
  }

  char* Reg(bool paren, int* flagp);
  char* Branch(int* flagp);
  char* Piece(int* flagp);
  char* Atom(int* flagp);
};

char* Fail(const char* msg) {
  Err(msg);
  return nullptr;
}

// An expression: alternatives separated by '|', optionally in parentheses. The nesting of parentheses, and
// so the recursion Reg -> Branch -> Piece -> Atom -> Reg, is bounded by the nine groups.
char* TComp::Reg(bool paren, int* flagp) {
  *flagp = HASWIDTH;
  char* ret = nullptr;
  int parno = 0;
  if (paren) {
    if (NPar >= RE_NSUB) return Fail("too many ()");
    parno = NPar++;
    ret = Node(static_cast<uint8_t>(OPEN + parno));
  }
  int flags;
  char* br = Branch(&flags);
  if (!br) return nullptr;
  if (ret)
    Tail(ret, br);
  else
    ret = br;
  if (!(flags & HASWIDTH)) *flagp &= ~HASWIDTH;
  *flagp |= flags & SPSTART;
  while (*Parse == '|') {
    Parse++;
    br = Branch(&flags);
    if (!br) return nullptr;
    Tail(ret, br);
    if (!(flags & HASWIDTH)) *flagp &= ~HASWIDTH;
    *flagp |= flags & SPSTART;
  }
  char* ender = Node(static_cast<uint8_t>(paren ? CLOSE + parno : END));
  Tail(ret, ender);
  if (!Sizing())
    for (char* b = ret; b; b = const_cast<char*>(Next(b))) OpTail(b, ender);
  if (paren) {
    if (*Parse != ')') return Fail("unmatched ()");
    Parse++;
  } else if (*Parse != '\0') {
    return Fail(*Parse == ')' ? "unmatched ()" : "junk on end");
  }
  return ret;
}

// One alternative: a BRANCH node followed by its pieces.
char* TComp::Branch(int* flagp) {
  *flagp = WORST;
  char* ret = Node(BRANCH);
  char* chain = nullptr;
  while (*Parse != '\0' && *Parse != '|' && *Parse != ')') {
    int flags;
    char* latest = Piece(&flags);
    if (!latest) return nullptr;
    *flagp |= flags & HASWIDTH;
    if (!chain)
      *flagp |= flags & SPSTART;
    else
      Tail(chain, latest);
    chain = latest;
  }
  if (!chain) Node(NOTHING);
  return ret;
}

// An atom with an optional '*', '+' or '?'.
char* TComp::Piece(int* flagp) {
  int flags;
  char* ret = Atom(&flags);
  if (!ret) return nullptr;
  char op = *Parse;
  if (!IsMult(op)) {
    *flagp = flags;
    return ret;
  }
  if (!(flags & HASWIDTH) && op != '?') return Fail("*+ operand could be empty");
  *flagp = op != '+' ? (WORST | SPSTART) : (WORST | HASWIDTH);

  if (op == '*' && (flags & SIMPLE)) {
    Insert(STAR, ret);
  } else if (op == '*') {
    // x* as (x&|): the branch that loops back to itself comes first, so it is greedy.
    Insert(BRANCH, ret);
    OpTail(ret, Node(BACK));
    OpTail(ret, ret);
    Tail(ret, Node(BRANCH));
    Tail(ret, Node(NOTHING));
  } else if (op == '+' && (flags & SIMPLE)) {
    Insert(PLUS, ret);
  } else if (op == '+') {
    // x+ as x(&|).
    char* next = Node(BRANCH);
    Tail(ret, next);
    Tail(Node(BACK), ret);
    Tail(next, Node(BRANCH));
    Tail(ret, Node(NOTHING));
  } else {
    // x? as (x|).
    Insert(BRANCH, ret);
    Tail(ret, Node(BRANCH));
    char* next = Node(NOTHING);
    Tail(ret, next);
    OpTail(ret, next);
  }
  Parse++;
  if (IsMult(*Parse)) return Fail("nested *?+");
  return ret;
}

char* TComp::Atom(int* flagp) {
  *flagp = WORST;
  char* ret;
  char c = *Parse++;
  switch (c) {
    case '^':
      ret = Node(BOL);
      break;
    case '$':
      ret = Node(EOL);
      break;
    case '.':
      ret = Node(ANY);
      *flagp |= HASWIDTH | SIMPLE;
      break;
    case '[': {
      if (*Parse == '^') {
        ret = Node(ANYBUT);
        Parse++;
      } else {
        ret = Node(ANYOF);
      }
      if (*Parse == ']' || *Parse == '-') Emit(*Parse++);
      while (*Parse != '\0' && *Parse != ']') {
        if (*Parse == '-') {
          Parse++;
          if (*Parse == ']' || *Parse == '\0') {
            Emit('-');
          } else {
            int from = static_cast<uint8_t>(Parse[-2]) + 1;
            int to = static_cast<uint8_t>(*Parse);
            if (from > to + 1) return Fail("invalid [] range");
            for (; from <= to; from++) Emit(static_cast<char>(from));
            Parse++;
          }
        } else {
          Emit(*Parse++);
        }
      }
      Emit('\0');
      if (*Parse != ']') return Fail("unmatched []");
      Parse++;
      *flagp |= HASWIDTH | SIMPLE;
      break;
    }
    case '(': {
      int flags;
      ret = Reg(true, &flags);
      if (!ret) return nullptr;
      *flagp |= flags & (HASWIDTH | SPSTART);
      break;
    }
    case '\0':
    case '|':
    case ')':
      return Fail("internal urp");
    case '?':
    case '+':
    case '*':
      return Fail("?+* follows nothing");
    case '\\':
      if (*Parse == '\0') return Fail("trailing \\");
      ret = Node(EXACTLY);
      Emit(*Parse++);
      Emit('\0');
      *flagp |= HASWIDTH | SIMPLE;
      break;
    default: {
      Parse--;
      size_t len = std::strcspn(Parse, kMeta);
      if (len == 0) return Fail("internal disaster");
      // A repeat operator after a run applies to the run's last character alone.
      if (len > 1 && IsMult(Parse[len])) len--;
      *flagp |= HASWIDTH;
      if (len == 1) *flagp |= SIMPLE;
      ret = Node(EXACTLY);
      for (; len > 0; len--) Emit(*Parse++);
      Emit('\0');
      break;
    }
  }
  return ret;
}

// ----------------------------------------------------------------------------------------------- matching

// A group position as it was before the current path changed it.
struct TUndo {
  const char** Slot;
  const char* Old;
};

// State of one ReExec.
struct TExec {
  const char* Input = nullptr;
  const char* Bol = nullptr;
  const char* ProgBeg = nullptr;  // first node
  const char* ProgEnd = nullptr;  // one past the program
  const char* StartP[RE_NSUB] = {};
  const char* EndP[RE_NSUB] = {};
  int Depth = 0;
  uint32_t Steps = 0;
  bool Abort = false;
  // Group positions set on the current path; a failed alternative or repeat count restores them. A path
  // passes each of the 18 group nodes at most once per level of recursion (every loop iteration costs a
  // level), so a longer log means a damaged program.
  TUndo* Undo = nullptr;
  size_t UndoCnt = 0;
  size_t UndoCap = 0;

  TExec() {}
  TExec(const TExec&) = delete;
  TExec& operator=(const TExec&) = delete;
  ~TExec() { std::free(Undo); }

  bool SetPos(const char** slot) {
    if (UndoCnt >= kMaxUndo) return Stop("memory corruption");
    if (UndoCnt == UndoCap) {
      size_t cap = UndoCap ? UndoCap * 2 : 64;
      TUndo* u = static_cast<TUndo*>(std::realloc(Undo, cap * sizeof(TUndo)));
      if (!u) return Stop("out of space");
      Undo = u;
      UndoCap = cap;
    }
    Undo[UndoCnt++] = {slot, *slot};
    *slot = Input;
    return true;
  }
  void Restore(size_t mark) {
    while (UndoCnt > mark) {
      --UndoCnt;
      *Undo[UndoCnt].Slot = Undo[UndoCnt].Old;
    }
  }

  bool Match(const char* prog);
  size_t Repeat(const char* p);
  bool Try(const char* s, const char* prog);
  bool FindStart(const TReProg* prog);

  bool Stop(const char* msg) {
    Err(msg);
    Abort = true;
    return false;
  }
  // A node header that lies inside the program; an operand string that ends inside it.
  bool NodeOk(const char* p) const { return p && p >= ProgBeg && ProgEnd - p >= 3; }
  bool OperandOk(const char* p) const {
    const char* o = Operand(p);
    return std::memchr(o, '\0', ProgEnd - o) != nullptr;
  }
};

// How many characters in a row, from Input on, the single-character node p matches.
size_t TExec::Repeat(const char* p) {
  const char* scan = Input;
  const char* opnd = Operand(p);
  switch (Op(p)) {
    case ANY:
      return std::strlen(scan);
    case EXACTLY:
      while (*scan != '\0' && *opnd == *scan) scan++;
      break;
    case ANYOF:
      while (*scan != '\0' && std::strchr(opnd, *scan)) scan++;
      break;
    case ANYBUT:
      while (*scan != '\0' && !std::strchr(opnd, *scan)) scan++;
      break;
    default:
      Stop("internal foulup");
      return 0;
  }
  return scan - Input;
}

// Follows the nodes from prog on; true when the rest of the program matches at Input. Recurses for
// alternatives and compact repeats, at most kMaxDepth levels deep: deeper, the whole ReExec gives up.
bool TExec::Match(const char* prog) {
  struct TDepth {
    int& D;
    explicit TDepth(int& d) : D(d) { ++D; }
    ~TDepth() { --D; }
  } depth(Depth);
  if (Depth > kMaxDepth) return Stop("recursion too deep");

  const char* scan = prog;
  while (NodeOk(scan)) {
    if (++Steps > kMaxSteps) return Stop("too much backtracking");
    const char* next = Next(scan);
    uint8_t op = Op(scan);
    switch (op) {
      case BOL:
        if (Input != Bol) return false;
        break;
      case EOL:
        if (*Input != '\0') return false;
        break;
      case ANY:
        if (*Input == '\0') return false;
        Input++;
        break;
      case EXACTLY: {
        if (!OperandOk(scan)) return Stop("memory corruption");
        const char* opnd = Operand(scan);
        if (*opnd != *Input) return false;
        size_t len = std::strlen(opnd);
        if (len > 1 && std::strncmp(opnd, Input, len) != 0) return false;
        Input += len;
        break;
      }
      case ANYOF:
      case ANYBUT:
        if (!OperandOk(scan)) return Stop("memory corruption");
        if (*Input == '\0' || (std::strchr(Operand(scan), *Input) != nullptr) != (op == ANYOF)) return false;
        Input++;
        break;
      case NOTHING:
      case BACK:
        break;
      case BRANCH:
        if (!NodeOk(next) || Op(next) != BRANCH) {
          next = Operand(scan);  // a single alternative: no choice, no recursion
        } else {
          const size_t mark = UndoCnt;
          do {
            const char* save = Input;
            if (Match(Operand(scan))) return true;
            if (Abort) return false;
            Input = save;
            Restore(mark);
            scan = Next(scan);
          } while (NodeOk(scan) && Op(scan) == BRANCH);
          return false;
        }
        break;
      case STAR:
      case PLUS: {
        if (!NodeOk(Operand(scan)) || (Op(Operand(scan)) != ANY && !OperandOk(Operand(scan))))
          return Stop("memory corruption");
        // Only counts followed by the first character of a literal that comes next can succeed.
        char nextch = NodeOk(next) && Op(next) == EXACTLY && OperandOk(next) ? *Operand(next) : '\0';
        size_t min = op == STAR ? 0 : 1;
        const char* save = Input;
        const size_t mark = UndoCnt;
        size_t no = Repeat(Operand(scan));
        if (Abort) return false;
        while (no >= min) {
          Input = save + no;
          if (nextch == '\0' || *Input == nextch) {
            if (Match(next)) return true;
            if (Abort) return false;
            Restore(mark);
          }
          if (no == 0) break;
          no--;
        }
        return false;
      }
      case END:
        return true;
      default:
        // A repeated group keeps the positions of its last iteration on the successful path.
        if (op > OPEN && op < OPEN + RE_NSUB) {
          if (!SetPos(&StartP[op - OPEN])) return false;
        } else if (op > CLOSE && op < CLOSE + RE_NSUB) {
          if (!SetPos(&EndP[op - CLOSE])) return false;
        } else {
          return Stop("memory corruption");
        }
        break;
    }
    scan = next;
  }
  return Stop("corrupted pointers");
}

// Hints for skipping hopeless start positions, from the single top-level alternative.
void SetHints(TReProg* r, int flags) {
  const char* scan = r->Prog + 1;
  if (Op(Next(scan)) != END) return;
  scan = Operand(scan);
  if (Op(scan) == EXACTLY)
    r->Start = *Operand(scan);
  else if (Op(scan) == BOL)
    r->Anch = 1;
  if (!(flags & SPSTART)) return;
  const char* longest = nullptr;
  size_t len = 0;
  for (; scan; scan = Next(scan)) {
    if (Op(scan) == EXACTLY && std::strlen(Operand(scan)) >= len) {
      longest = Operand(scan);
      len = std::strlen(longest);
    }
  }
  r->Must = longest;
  r->MustLen = static_cast<int32_t>(len);
}

// False when the program's required literal is not in the text, so that no start can match.
bool HasMust(const TReProg* prog, const char* text) {
  if (!prog->Must) return true;
  for (const char* s = text; (s = std::strchr(s, prog->Must[0])) != nullptr; s++)
    if (std::strncmp(s, prog->Must, prog->MustLen) == 0) return true;
  return false;
}

bool TExec::Try(const char* s, const char* prog) {
  Input = s;
  UndoCnt = 0;
  for (int i = 0; i < RE_NSUB; i++) StartP[i] = EndP[i] = nullptr;
  if (!Match(prog)) return false;
  StartP[0] = s;
  EndP[0] = Input;
  return true;
}

// Tries the start positions from the left (only the first when anchored, only those holding the hint
// character when there is one); true at the first that matches.
bool TExec::FindStart(const TReProg* prog) {
  if (prog->Anch) return Try(Bol, ProgBeg);
  if (prog->Start != '\0') {
    for (const char* s = Bol; !Abort && (s = std::strchr(s, prog->Start)) != nullptr; s++)
      if (Try(s, ProgBeg)) return true;
    return false;
  }
  for (const char* s = Bol;; s++) {
    if (Try(s, ProgBeg)) return true;
    if (Abort || *s == '\0') return false;
  }
}

}  // namespace

TReProg* ReComp(const char* pattern) {
  if (!pattern) {
    Err("NULL argument");
    return nullptr;
  }
  TComp c;
  int flags;

  // Sizing pass: only counts the bytes.
  c.Parse = pattern;
  c.Code = &c.Dummy;
  c.Emit(static_cast<char>(RE_MAGIC));
  if (!c.Reg(false, &flags)) return nullptr;
  if (c.Size > kMaxProg) {
    Err("regexp too big");
    return nullptr;
  }

  size_t sz = offsetof(TReProg, Prog) + static_cast<size_t>(c.Size);
  TReProg* r = static_cast<TReProg*>(std::malloc(sz));
  if (!r) {
    Err("out of space");
    return nullptr;
  }
  std::memset(r, 0, sz);
  r->ProgLen = static_cast<uint32_t>(c.Size);

  // Emitting pass: the same parse writes the nodes.
  c.Parse = pattern;
  c.NPar = 1;
  c.Code = r->Prog;
  c.CodeEnd = r->Prog + c.Size;
  c.Emit(static_cast<char>(RE_MAGIC));
  if (!c.Reg(false, &flags) || c.Code != c.CodeEnd) {
    std::free(r);
    if (c.Code != c.CodeEnd) Err("internal urp");
    return nullptr;
  }

  SetHints(r, flags);
  return r;
}

int ReExec(const TReProg* prog, const char* text, TReMatch& m) {
  for (int i = 0; i < RE_NSUB; i++) m.StartP[i] = m.EndP[i] = nullptr;
  if (!prog || !text) {
    Err("NULL parameter");
    return 0;
  }
  if (static_cast<uint8_t>(prog->Prog[0]) != RE_MAGIC) {
    Err("corrupted program");
    return 0;
  }

  if (!HasMust(prog, text)) return 0;

  TExec x;
  x.Bol = text;
  x.ProgBeg = prog->Prog + 1;
  x.ProgEnd = prog->Prog + prog->ProgLen;
  if (!x.FindStart(prog)) return 0;
  for (int i = 0; i < RE_NSUB; i++) {
    m.StartP[i] = x.StartP[i];
    m.EndP[i] = x.EndP[i];
  }
  return 1;
}

int ReExec(TReProg* prog, const char* text) {
  TReMatch m;
  int r = ReExec(static_cast<const TReProg*>(prog), text, m);
  if (prog) {
    for (int i = 0; i < RE_NSUB; i++) {
      prog->StartP[i] = m.StartP[i];
      prog->EndP[i] = m.EndP[i];
    }
    prog->Bol = text;
  }
  return r;
}

int ReMatchStart(const TReProg* prog) {
  if (!prog || !prog->Bol || !prog->StartP[0]) return -1;
  return static_cast<int>(prog->StartP[0] - prog->Bol);
}
