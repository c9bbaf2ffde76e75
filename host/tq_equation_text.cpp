// The equation store's printer and evaluator: a program as infix text, and
// its value.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tq_equation_store.h"
#include "tq_registry.h"

namespace {
// Evaluate reads a program from its last item to its first with a stack of
// operands: a constant or term is pushed; an operator takes its operands from
// the top (the first operand on top) and pushes its result. A well-formed
// program leaves exactly one entry. No recursion, so that no program, however
// deep or malformed, can exhaust the stack.

// Appends the shortest text that reads back as the same double, as "%.*g" writes it with the
// fewest digits that do, with ".0" added where it would otherwise read as an integer ("2.5",
// "-3.0", "1e-07").
void AppendRealText(std::string& out, double value) {
  char buffer[64];
  if (std::isfinite(value)) {
    // Fewer digits than the shortest round-trip text has never read back. With that many the
    // nearest decimal, which "%.*g" writes, nearly always does; where it does not (a power of two,
    // whose neighbours lie at unequal distances), one digit more is tried, as many as needed.
    const std::to_chars_result shortest =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    int digits = 0;
    for (const char* c = buffer; c != shortest.ptr && *c != 'e'; ++c) digits += *c >= '0' && *c <= '9';
    for (;; ++digits) {
      const std::to_chars_result general =
          std::to_chars(buffer, buffer + sizeof buffer - 1, value, std::chars_format::general, digits);
      *general.ptr = '\0';
      double back = 0.0;
      std::from_chars(buffer, general.ptr, back);
      if (back == value || digits >= 17) break;
    }
  } else {
    std::snprintf(buffer, sizeof buffer, "%.1g", value);
  }
  const std::size_t length = std::strlen(buffer);
  out.append(buffer, length);
  if (std::strpbrk(buffer, ".eEn") == nullptr) out += ".0";
}

bool IsBinary(int code) { return code == EOp_Plus || code == EOp_Minus || code == EOp_Times || code == EOp_Divide; }
bool IsUnary(int code) { return code == EOp_Root || code == EOp_Square; }

// An operator whose text is being written: a unary form waits for its one
// operand, a binary operator for its left operand and then its right one.
struct InfixFrame {
  char symbol;             // '+', '-', '*', '/'; 0 for a unary form
  std::int8_t precedence;  // 1 plus/minus, 2 times/divide
  bool right;              // the left operand is written; the right one is due
  bool parentheses;        // the operator's text stands in parentheses (a unary form: ends with one)
};

// The frames of the operators being written, in place up to a depth that
// formulas do not reach and on the heap beyond it.
class InfixFrames {
 public:
  std::size_t Depth() const { return depth_; }
  InfixFrame& Top() { return frames_[depth_ - 1]; }
  void Pop() { --depth_; }
  void Clear() { depth_ = 0; }
  void Push(const InfixFrame& frame) {
    if (depth_ == capacity_) Grow();
    frames_[depth_++] = frame;
  }

 private:
  // Doubles the room, moving the frames to the heap the first time.
  [[gnu::noinline]] void Grow() {
    if (frames_ == inPlace_.data()) heap_.assign(inPlace_.begin(), inPlace_.end());
    heap_.resize(2 * capacity_);
    frames_ = heap_.data();
    capacity_ = heap_.size();
  }

  std::array<InfixFrame, 64> inPlace_;
  std::vector<InfixFrame> heap_;
  InfixFrame* frames_ = inPlace_.data();
  std::size_t capacity_ = inPlace_.size();
  std::size_t depth_ = 0;
};
}  // namespace

// A prefix program "op left right" reads in infix as "left op right", so one
// forward walk writes the text in order: an operator opens a frame, an operand
// that completes closes the frames it finishes. An operand's parentheses
// depend only on the slot it fills and its own first item (a binary
// operator's precedence; a constant, term or unary form never needs them), so
// they are written when the operand starts. No recursion, so that no program,
// however deep, can exhaust the stack.
void TQ_EquationStore::AppendInfix(std::string& out, const TQ_EmittedEquation& equation, bool fullPaths) {
  static const char malformed[] = "  [malformed program]";
  Emitted();  // writes the item counts
  const std::vector<TQ_ProgramItem>& allItems = Items();
  const std::size_t begin = equation.firstItem;
  const std::size_t end = begin + equation.itemCount;
  if (end > allItems.size()) {
    out += malformed;
    return;
  }
  const TQ_ProgramItem* const items = allItems.data();
  const std::string prefix = !fullPaths && equation.owner != nullptr ? TQ_Registry::PathOf(equation.owner) + "." : "";
  // The number of leading bytes of `path` that the owner's prefix takes off.
  const auto stripped = [&](const std::string& path) -> std::size_t {
    return !prefix.empty() && path.compare(0, prefix.size(), prefix) == 0 ? prefix.size() : 0;
  };

  // Terms of one equation name few arrays: the path up to the term's owner is
  // made once, with how much of it the prefix takes off when that is decided
  // by the owner's path alone (npos when the prefix reaches past it).
  const TQ_Containable* lastOwner = nullptr;
  std::string lastOwnerPath;
  std::size_t lastOwnerSkip = 0;
  const auto writeTerm = [&](const TQ_VarParam* term) {
    const TQ_Containable* owner = term->Owner();
    const char* name = term->Name();
    const std::size_t nameLength = std::strlen(name);
    if (owner != nullptr && owner == lastOwner) {
      const std::size_t at = out.size();
      out.append(lastOwnerPath, lastOwnerSkip == std::string::npos ? 0 : lastOwnerSkip, std::string::npos);
      out += '(';
      out.append(name, nameLength);
      out += ')';
      if (lastOwnerSkip == std::string::npos && !prefix.empty() && out.compare(at, prefix.size(), prefix) == 0)
        out.erase(at, prefix.size());
      return;
    }
    const std::string path = TQ_Registry::PathOf(term);
    if (owner != nullptr && owner->IsArrayContainer() && path.size() > nameLength + 2) {
      lastOwner = owner;
      lastOwnerPath.assign(path, 0, path.size() - nameLength - 2);
      lastOwnerSkip = prefix.size() > lastOwnerPath.size() ? std::string::npos : stripped(lastOwnerPath);
    }
    out.append(path, stripped(path), std::string::npos);
  };

  // Writes the one expression that starts at item `at` and moves `at` past
  // it. False at an unknown operator or where the items end first.
  InfixFrames frames;
  const auto writeExpression = [&](std::size_t& at) -> bool {
    frames.Clear();
    while (at < end) {
      const TQ_ProgramItem& item = items[at++];
      switch (item.kind) {
        case TQ_ProgramItem::Integer: {
          char buffer[16];
          const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, item.code);
          out.append(buffer, written.ptr);
          break;
        }
        case TQ_ProgramItem::Real:
          AppendRealText(out, item.real);
          break;
        case TQ_ProgramItem::Term:
          writeTerm(item.term);
          break;
        case TQ_ProgramItem::Op: {
          const int code = item.code;
          if (code == EOp_Square) {
            out += "sq(";
            frames.Push({0, 3, false, true});
            continue;
          }
          if (code == EOp_Root) {
            // The residual is the operand itself: written alone where it stands at the root or
            // in a unary form's parentheses, in parentheses of its own as an operand elsewhere.
            const bool parentheses = frames.Depth() > 0 && frames.Top().symbol != 0;
            if (parentheses) out += '(';
            frames.Push({0, 3, false, parentheses});
            continue;
          }
          if (!IsBinary(code)) return false;
          const char symbol = code == EOp_Plus ? '+' : code == EOp_Minus ? '-' : code == EOp_Times ? '*' : '/';
          const std::int8_t precedence = (code == EOp_Plus || code == EOp_Minus) ? 1 : 2;
          // Operators group from the left: a right operand of the same
          // precedence needs its parentheses, a left one only when lower.
          bool parentheses = false;
          if (frames.Depth() > 0 && frames.Top().symbol != 0) {
            const InfixFrame& parent = frames.Top();
            parentheses = parent.right ? precedence <= parent.precedence : precedence < parent.precedence;
          }
          if (parentheses) out += '(';
          frames.Push({symbol, precedence, false, parentheses});
          continue;
        }
      }
      // An operand is complete: close the operators it finishes, up to one
      // that now waits for its right operand.
      for (;;) {
        if (frames.Depth() == 0) return true;
        InfixFrame& top = frames.Top();
        if (top.symbol == 0) {
          if (top.parentheses) out += ')';
        } else if (!top.right) {
          out += top.symbol;
          top.right = true;
          break;
        } else if (top.parentheses) {
          out += ')';
        }
        frames.Pop();
      }
    }
    return false;
  };

  const std::size_t start = out.size();
  std::size_t at = begin;
  if (writeExpression(at) && at == end) return;

  // Malformed: the text is what reading from the last item back makes of it,
  // the whole expression at the point where that reading stops (an unknown
  // operator, one short of operands, or more than one expression at the
  // first item), followed by the mark. Counting the operands finds that point.
  out.resize(start);
  std::size_t operands = 0;
  std::size_t from = std::string::npos;
  bool stopped = false;
  for (std::size_t i = end; i-- > begin;) {
    const TQ_ProgramItem& item = items[i];
    if (item.kind != TQ_ProgramItem::Op) {
      ++operands;
      continue;
    }
    const std::size_t takes = IsUnary(item.code) ? 1 : IsBinary(item.code) ? 2 : 0;
    if (takes == 0 || operands < takes) {
      if (operands > 0) from = i + 1;
      stopped = true;
      break;
    }
    operands -= takes - 1;
  }
  if (!stopped && operands > 0) from = begin;
  if (from != std::string::npos) {
    at = from;
    writeExpression(at);
  }
  out += malformed;
}

double TQ_EquationStore::Evaluate(const TQ_EmittedEquation& equation,
                                  const std::function<double(const TQ_VarParam&)>& value,
                                  bool* ok) {
  Emitted();  // writes the item counts
  const std::vector<TQ_ProgramItem>& allItems = Items();
  const std::size_t begin = equation.firstItem;
  const std::size_t end = begin + equation.itemCount;
  std::vector<double> stack;
  bool good = end <= allItems.size();
  for (std::size_t i = end; good && i-- > begin;) {
    const TQ_ProgramItem& item = allItems[i];
    switch (item.kind) {
      case TQ_ProgramItem::Integer:
        stack.push_back(item.code);
        continue;
      case TQ_ProgramItem::Real:
        stack.push_back(item.real);
        continue;
      case TQ_ProgramItem::Term:
        stack.push_back(value ? value(*item.term) : item.term->NumericValue());
        continue;
      case TQ_ProgramItem::Op:
        break;
    }
    const int code = item.code;
    const std::size_t operands = IsUnary(code) ? 1 : IsBinary(code) ? 2 : 0;
    if (operands == 0 || stack.size() < operands) {
      good = false;
      break;
    }
    if (code == EOp_Square) stack.back() *= stack.back();
    if (operands == 1) continue;
    const double a = stack.back();
    stack.pop_back();
    double& b = stack.back();
    b = code == EOp_Plus ? a + b : code == EOp_Minus ? a - b : code == EOp_Times ? a * b : a / b;
  }
  if (stack.size() != 1) good = false;
  if (ok) *ok = good;
  return stack.empty() ? 0.0 : stack.back();
}
