// Filter/Find criteria: a small recursive-descent parser over the UTF-16 text and an evaluator
// over VARIANT field values. See Criteria.h for the language and the rules followed. The parser
// recurses once per parenthesis and the tree it builds is at most about twice as deep, so
// Criteria::kMaxNesting bounds the stack used by parsing, evaluating and destroying alike.
#include "Criteria.h"

#include <charconv>

#include "DateText.h"
#include "TextUtil.h"
#include "UtilErrors.h"
#include "ValueCompare.h"

namespace kp::ado {

enum class Op { Lt, Gt, Le, Ge, Ne, Eq, Like };
enum class LikeMode { Exact, Prefix, Contains };

struct Literal {
  enum Kind { String, Hash, Number, Null, Bool } kind = Null;
  std::u16string text;  // the text as written (inner text of quotes and #)
  bool hasNumber = false, hasDate = false, hasBool = false;
  long double number = 0;
  DATE date = 0;
  bool boolean = false;
};

struct Criteria::Clause {
  std::u16string field;
  Op op = Op::Eq;
  Literal literal;
  LikeMode likeMode = LikeMode::Exact;
  std::u16string likeFolded;  // the pattern without its wildcards, case-folded
  int index = -1;
};

struct Criteria::Node {
  enum Kind { Leaf, And, Or } kind = Leaf;
  int clause = -1;
  std::vector<std::unique_ptr<Node>> kids;
};

namespace {

// A number literal: optional sign, optional '$', digits with an optional '.', optional exponent.
bool ParseNumber(std::u16string_view text, long double& out) {
  std::string ascii;
  for (char16_t c : Trim(text)) {
    if (c == u'$' && (ascii.empty() || ascii == "-" || ascii == "+")) continue;
    if (c > 0x7F) return false;
    ascii += (char)c;
  }
  if (!ascii.empty() && ascii[0] == '+') ascii.erase(0, 1);
  if (ascii.empty() || ascii == "-") return false;
  for (char c : ascii)  // refuse "inf", "nan" and hex forms that from_chars would take
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+')) return false;
  auto r = std::from_chars(ascii.data(), ascii.data() + ascii.size(), out);
  return r.ec == std::errc() && r.ptr == ascii.data() + ascii.size();
}

std::u16string Fold(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out) c = FoldCase(c);
  return out;
}

template <class T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

bool Apply(Op op, int c) {
  switch (op) {
    case Op::Lt:
      return c < 0;
    case Op::Gt:
      return c > 0;
    case Op::Le:
      return c <= 0;
    case Op::Ge:
      return c >= 0;
    case Op::Ne:
      return c != 0;
    default:
      return c == 0;
  }
}

bool IsNameChar(char16_t c) {
  return !IsBlank(c) && c != u'(' && c != u')' && c != u'<' && c != u'>' && c != u'=' && c != u'[' &&
         c != u']' && c != u'\'' && c != u'#';
}

class Parser {
 public:
  Parser(std::u16string_view text, bool find) : s_(text), find_(find) {}

  // Parses the whole text into clauses and a tree; false on any syntax error.
  bool Run(std::vector<Criteria::Clause>& clauses, std::unique_ptr<Criteria::Node>& root) {
    clauses_ = &clauses;
    root = OrExpr();
    SkipBlanks();
    return root && i_ == s_.size();
  }

 private:
  void SkipBlanks() {
    while (i_ < s_.size() && IsBlank(s_[i_])) ++i_;
  }
  // The next bare word (without consuming it).
  std::u16string_view PeekWord() {
    SkipBlanks();
    size_t j = i_;
    while (j < s_.size() && IsNameChar(s_[j])) ++j;
    return s_.substr(i_, j - i_);
  }
  bool EatKeyword(std::u16string_view kw) {
    std::u16string_view w = PeekWord();
    if (!EqualsNoCase(w, kw)) return false;
    i_ += w.size();
    return true;
  }

  std::unique_ptr<Criteria::Node> OrExpr() {
    auto first = AndExpr();
    if (!first) return nullptr;
    if (!IsKeywordAhead(u"OR")) return first;
    auto node = std::make_unique<Criteria::Node>();
    node->kind = Criteria::Node::Or;
    node->kids.push_back(std::move(first));
    while (EatKeyword(u"OR")) {
      auto next = AndExpr();
      if (!next) return nullptr;
      node->kids.push_back(std::move(next));
    }
    return node;
  }

  bool IsKeywordAhead(std::u16string_view kw) {
    size_t save = i_;
    bool yes = EatKeyword(kw);
    i_ = save;
    return yes;
  }

  std::unique_ptr<Criteria::Node> AndExpr() {
    auto first = Primary();
    if (!first) return nullptr;
    if (!IsKeywordAhead(u"AND")) return first;
    auto node = std::make_unique<Criteria::Node>();
    node->kind = Criteria::Node::And;
    node->kids.push_back(std::move(first));
    while (EatKeyword(u"AND")) {
      auto next = Primary();
      if (!next) return nullptr;
      node->kids.push_back(std::move(next));
    }
    // "(A OR B) AND C" is the documented forbidden form.
    for (auto& kid : node->kids)
      if (kid->kind == Criteria::Node::Or) return nullptr;
    return node;
  }

  std::unique_ptr<Criteria::Node> Primary() {
    SkipBlanks();
    if (i_ < s_.size() && s_[i_] == u'(') {
      if (find_ || depth_ >= Criteria::kMaxNesting) return nullptr;
      ++i_;
      ++depth_;
      auto inner = OrExpr();
      --depth_;
      SkipBlanks();
      if (!inner || i_ >= s_.size() || s_[i_] != u')') return nullptr;
      ++i_;
      return inner;
    }
    Criteria::Clause clause;
    if (!ParseClause(clause)) return nullptr;
    clauses_->push_back(std::move(clause));
    auto node = std::make_unique<Criteria::Node>();
    node->clause = (int)clauses_->size() - 1;
    return node;
  }

  bool ParseClause(Criteria::Clause& c) {
    SkipBlanks();
    if (i_ < s_.size() && s_[i_] == u'[') {
      size_t close = s_.find(u']', i_ + 1);
      if (close == std::u16string_view::npos) return false;
      c.field = std::u16string(Trim(s_.substr(i_ + 1, close - i_ - 1)));
      i_ = close + 1;
    } else {
      std::u16string_view w = PeekWord();
      c.field = std::u16string(w);
      i_ += w.size();
    }
    if (c.field.empty() || !ParseOperator(c.op)) return false;
    if (!ParseValue(c.literal)) return false;
    return Check(c);
  }

  bool ParseOperator(Op& op) {
    SkipBlanks();
    auto at = [&](std::u16string_view t) { return s_.substr(i_, t.size()) == t; };
    struct {
      std::u16string_view text;
      Op op;
    } const ops[] = {{u"<=", Op::Le}, {u">=", Op::Ge}, {u"<>", Op::Ne},
                     {u"<", Op::Lt},  {u">", Op::Gt},  {u"=", Op::Eq}};
    for (const auto& o : ops)
      if (at(o.text)) {
        i_ += o.text.size();
        op = o.op;
        return true;
      }
    if (EatKeyword(u"LIKE")) {
      op = Op::Like;
      return true;
    }
    return false;
  }

  bool ParseValue(Literal& lit) {
    SkipBlanks();
    if (i_ >= s_.size()) return false;
    char16_t c = s_[i_];
    if (c == u'\'') {
      ++i_;
      for (;;) {
        if (i_ >= s_.size()) return false;
        if (s_[i_] == u'\'') {
          if (i_ + 1 < s_.size() && s_[i_ + 1] == u'\'') {
            lit.text += u'\'';
            i_ += 2;
            continue;
          }
          ++i_;
          break;
        }
        lit.text += s_[i_++];
      }
      lit.kind = Literal::String;
      lit.hasNumber = ParseNumber(lit.text, lit.number);
      lit.hasDate = DateText::ParseCriteria(lit.text, lit.date) || DateText::ParseIso(lit.text, lit.date);
      if (EqualsNoCase(Trim(lit.text), u"true") || EqualsNoCase(Trim(lit.text), u"false")) {
        lit.hasBool = true;
        lit.boolean = EqualsNoCase(Trim(lit.text), u"true");
      }
      return true;
    }
    if (c == u'#') {
      size_t close = s_.find(u'#', i_ + 1);
      if (close == std::u16string_view::npos) return false;
      lit.kind = Literal::Hash;
      lit.text = std::u16string(s_.substr(i_ + 1, close - i_ - 1));
      i_ = close + 1;
      lit.hasDate = DateText::ParseCriteria(lit.text, lit.date);
      return true;
    }
    std::u16string_view w = PeekWord();
    if (w.empty()) return false;
    i_ += w.size();
    lit.text = std::u16string(w);
    if (EqualsNoCase(w, u"NULL")) {
      lit.kind = Literal::Null;
      return true;
    }
    if (EqualsNoCase(w, u"TRUE") || EqualsNoCase(w, u"FALSE")) {
      lit.kind = Literal::Bool;
      lit.hasBool = true;
      lit.boolean = EqualsNoCase(w, u"TRUE");
      return true;
    }
    lit.kind = Literal::Number;
    if (!ParseNumber(w, lit.number)) return false;
    lit.hasNumber = lit.hasBool = lit.hasDate = true;
    lit.boolean = lit.number != 0;
    lit.date = (DATE)lit.number;
    return true;
  }

  // Operator/value combinations: NULL only with = and <>; LIKE only with a string whose
  // wildcards stand at the end or at both ends.
  bool Check(Criteria::Clause& c) {
    if (c.literal.kind == Literal::Null) return c.op == Op::Eq || c.op == Op::Ne;
    if (c.op != Op::Like) return true;
    if (c.literal.kind != Literal::String) return false;
    const std::u16string& p = c.literal.text;
    auto wild = [](char16_t ch) { return ch == u'*' || ch == u'%'; };
    size_t n = p.size();
    size_t inner = 0;  // wildcards other than at the two ends
    for (size_t k = 1; k + 1 < n; ++k) inner += wild(p[k]);
    bool atEnd = n > 0 && wild(p[n - 1]);
    bool atStart = n > 1 && wild(p[0]);
    if (inner || (atStart && !atEnd)) return false;
    if (atStart) {
      c.likeMode = LikeMode::Contains;
      c.likeFolded = Fold(std::u16string_view(p).substr(1, n - 2));
    } else if (atEnd) {
      c.likeMode = LikeMode::Prefix;
      c.likeFolded = Fold(std::u16string_view(p).substr(0, n - 1));
    } else {
      c.likeMode = LikeMode::Exact;
      c.likeFolded = Fold(p);
    }
    return true;
  }

  std::u16string_view s_;
  size_t i_ = 0;
  int depth_ = 0;  // open parentheses around the current position
  bool find_;
  std::vector<Criteria::Clause>* clauses_ = nullptr;
};

// Whether the literal can be taken as a value of the given kind.
bool Convertible(const Literal& lit, ValueKind kind, Op op) {
  if (lit.kind == Literal::Null) return true;
  switch (kind) {
    case ValueKind::String:
      return true;
    case ValueKind::Number:
      return op != Op::Like && lit.hasNumber;
    case ValueKind::Boolean:
      return op != Op::Like && lit.hasBool;
    case ValueKind::Date:
      return op != Op::Like && lit.hasDate;
    case ValueKind::Binary:
      return false;
    default:
      return true;
  }
}

bool MatchClause(const Criteria::Clause& c, const VARIANT* value) {
  static const VARIANT kNull = [] {
    VARIANT v{};
    v.vt = VT_NULL;
    return v;
  }();
  const VARIANT& v = ValueCompare::Deref(value ? *value : kNull);
  ValueKind kind = ValueCompare::KindOf(v);
  if (kind == ValueKind::Null) return c.literal.kind == Literal::Null && c.op == Op::Eq;
  if (c.literal.kind == Literal::Null) return c.op == Op::Ne;
  if (!Convertible(c.literal, kind, c.op)) return false;
  const Literal& lit = c.literal;
  switch (kind) {
    case ValueKind::String: {
      std::u16string_view text = ValueCompare::Text(v);
      if (c.op == Op::Like) {
        std::u16string folded = Fold(text);
        switch (c.likeMode) {
          case LikeMode::Prefix:
            return folded.compare(0, c.likeFolded.size(), c.likeFolded) == 0;
          case LikeMode::Contains:
            return folded.find(c.likeFolded) != std::u16string::npos;
          default:
            return folded == c.likeFolded;
        }
      }
      return Apply(c.op, CompareNoCase(text, lit.text));
    }
    case ValueKind::Number: {
      // The literal is taken in the field's precision, so 0.1 matches a double field holding 0.1.
      if (v.vt == VT_R4) return Apply(c.op, Order(v.fltVal, (float)lit.number));
      if (v.vt == VT_R8) return Apply(c.op, Order(v.dblVal, (double)lit.number));
      long double x = 0;
      ValueCompare::Number(v, x);
      return Apply(c.op, Order(x, lit.number));
    }
    case ValueKind::Boolean:
      return Apply(c.op, Order(v.boolVal ? 1 : 0, lit.boolean ? 1 : 0));
    case ValueKind::Date:
      return Apply(c.op, Order(ValueCompare::DateKey(v.date), ValueCompare::DateKey(lit.date)));
    default:
      return false;
  }
}

}  // namespace

Criteria::Criteria() = default;
Criteria::~Criteria() = default;
Criteria::Criteria(Criteria&&) noexcept = default;
Criteria& Criteria::operator=(Criteria&&) noexcept = default;

HRESULT Criteria::Parse(std::u16string_view text, bool find, Criteria& out, std::u16string* description) {
  out = Criteria();
  Criteria result;
  Parser parser(text, find);
  if (!parser.Run(result.clauses_, result.root_)) return Fail(kErrInvalidArgument, description);
  if (find && result.root_->kind != Node::Leaf) return Fail(kErrInvalidArgument, description);
  for (const Clause& c : result.clauses_) result.names_.push_back(c.field);
  out = std::move(result);
  return S_OK;
}

HRESULT Criteria::ParseFilter(std::u16string_view text, Criteria& out, std::u16string* description) {
  return Parse(text, false, out, description);
}

HRESULT Criteria::ParseFind(std::u16string_view text, Criteria& out, std::u16string* description) {
  return Parse(text, true, out, description);
}

HRESULT Criteria::Bind(const std::function<int(std::u16string_view)>& fieldIndexOf) {
  return Bind(fieldIndexOf, nullptr);
}

HRESULT Criteria::Bind(const std::function<int(std::u16string_view)>& fieldIndexOf,
                       const std::function<int(int fieldIndex)>& fieldTypeOf) {
  bound_ = false;
  if (!root_) return kErrInvalidArgument;
  for (Clause& c : clauses_) {
    c.index = fieldIndexOf ? fieldIndexOf(c.field) : -1;
    if (c.index < 0) return kErrItemNotFound;
    if (fieldTypeOf && !Convertible(c.literal, ValueCompare::KindOfAdoType(fieldTypeOf(c.index)), c.op))
      return DISP_E_TYPEMISMATCH;
    if (fieldTypeOf && c.op == Op::Like &&
        ValueCompare::KindOfAdoType(fieldTypeOf(c.index)) != ValueKind::String)
      return DISP_E_TYPEMISMATCH;
  }
  bound_ = true;
  return S_OK;
}

bool Criteria::Matches(const std::function<const VARIANT*(int fieldIndex)>& valueOf) const {
  if (!bound_ || !root_ || !valueOf) return false;
  return Evaluate(*root_, valueOf);
}

bool Criteria::Evaluate(const Node& n, const std::function<const VARIANT*(int fieldIndex)>& valueOf) const {
  switch (n.kind) {
    case Node::Leaf:
      return MatchClause(clauses_[n.clause], valueOf(clauses_[n.clause].index));
    case Node::And:
      for (const auto& k : n.kids)
        if (!Evaluate(*k, valueOf)) return false;
      return true;
    default:
      for (const auto& k : n.kids)
        if (Evaluate(*k, valueOf)) return true;
      return false;
  }
}

}  // namespace kp::ado
