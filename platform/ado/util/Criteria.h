// Criteria strings of Recordset.Filter and Recordset.Find, parsed once and evaluated per row.
//
// A clause is `FieldName Operator Value`. FieldName is a bare name or a [bracketed] name (for
// names with blanks); Operator is one of < > <= >= <> = LIKE (any case); Value is a 'string'
// (an embedded quote doubled), a #date# (m/d/yyyy with an optional time, or yyyy-mm-dd; Find also
// takes #text# as a string when the field is a string), a number (optional sign, decimal point,
// a leading '$', exponent: 12.345, $50.00, 1E3), True or False, or NULL. NULL goes only with
// = (the field is Null) and <> (it is not). ADO's Filter page says the value may not be Null;
// ADO in practice accepts `= NULL` and `<> NULL` with this meaning, and so do we.
// LIKE takes a string whose wildcards (* or %) stand at its end ('Smit*') or at both ends
// ('*mit*'); any other wildcard position is adErrInvalidArgument.
//
// Filter joins clauses with AND and OR and groups them with parentheses. The documentation
// gives AND and OR no precedence and forbids joining a parenthesised OR group to another clause
// with AND ("(A OR B) AND C" must be written "(A AND C) OR (B AND C)"): a criteria string is an
// OR of AND groups. We read it that way, so an unparenthesised "A OR B AND C" means
// "A OR (B AND C)", and an AND with an operand that contains a top-level OR is refused with
// adErrInvalidArgument. Parentheses nest at most kMaxNesting deep; deeper text is
// adErrInvalidArgument. Find takes exactly one clause: AND, OR or parentheses are
// adErrInvalidArgument.
//
// Evaluation: a Null field matches only `= NULL`; a non-Null field matches `<> NULL`. Otherwise
// the literal is taken in the field's type (a number literal against a string field compares
// its text, a string literal against a number or date field is converted) and compared as
// ValueCompare.h describes (strings without regard to case). A literal that cannot be taken in
// the field's type does not match; Bind with field types reports it up front instead.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "oaidl.h"

namespace kp::ado {

class Criteria {
 public:
  Criteria();
  ~Criteria();
  Criteria(Criteria&&) noexcept;
  Criteria& operator=(Criteria&&) noexcept;

  // Parentheses nest at most this deep. Hand-written criteria rarely go past three levels; the
  // parser, the evaluator and the destructor recurse once per level, so deeper text (a hostile
  // or generated string) is refused with kErrInvalidArgument instead of exhausting the stack.
  static constexpr int kMaxNesting = 100;

  // Parse a Filter criteria string. An empty (or blank) text is invalid here: the caller treats
  // "" as adFilterNone before parsing. Failures: kErrInvalidArgument with the documented
  // message in *description (description may be null); out is then empty.
  static HRESULT ParseFilter(std::u16string_view text, Criteria& out, std::u16string* description);
  // Parse a Find criteria string: one clause only.
  static HRESULT ParseFind(std::u16string_view text, Criteria& out, std::u16string* description);

  // The field names in the order of their clauses (a name used twice appears twice).
  const std::vector<std::u16string>& FieldNames() const { return names_; }

  // Resolves every field name to an index (-1 = unknown field, which fails with
  // kErrItemNotFound). The second form also takes each field's ADO type (DataTypeEnum), converts
  // the literals once and fails with DISP_E_TYPEMISMATCH when a literal cannot be taken in its
  // field's type (or LIKE is used on a field that is not a string).
  HRESULT Bind(const std::function<int(std::u16string_view)>& fieldIndexOf);
  HRESULT Bind(const std::function<int(std::u16string_view)>& fieldIndexOf,
               const std::function<int(int fieldIndex)>& fieldTypeOf);

  // Whether a row matches. valueOf answers the value of a bound field (null counts as Null).
  // An unbound criteria matches nothing.
  bool Matches(const std::function<const VARIANT*(int fieldIndex)>& valueOf) const;

  struct Node;  // the parsed expression (Criteria.cpp)
  struct Clause;

 private:
  static HRESULT Parse(std::u16string_view text, bool find, Criteria& out, std::u16string* description);
  bool Evaluate(const Node& node, const std::function<const VARIANT*(int fieldIndex)>& valueOf) const;
  std::vector<std::u16string> names_;
  std::vector<Clause> clauses_;
  std::unique_ptr<Node> root_;
  bool bound_ = false;
};

}  // namespace kp::ado
