#pragma once
// The assembler's working state and its stages. Internal to the asm library
// (and its tests): callers use Assemble() from Assembler.h.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/BuildOptions.h"
#include "common/InstructionSet.h"
#include "common/MessageSink.h"
#include "common/Word.h"
#include "link/LineMap.h"
#include "link/ObjectFile.h"

namespace tolvane {

// Lines and fields are fixed byte buffers: a source line is at most 255 bytes
// (the line reader cuts longer ones), so no field can overflow them.
constexpr std::size_t kMaxLineBytes = 255;
constexpr int kMaxDcOperands = 256;
constexpr int kShownErrors = 20;

// Where a field lies in its line: byte column and length; column -1 when the
// line has no such field.
struct FieldPos {
  std::int32_t column = -1;
  std::int32_t length = 0;
};

struct SAsmLine {
  std::int32_t lineNumber = 0;
  char label[9] = {};
  char mnemonic[10] = {};
  char operand1[256] = {};
  char operand2[256] = {};
  char operand3[13] = {};
  std::int32_t dcCount = 0;
  char dcOperands[kMaxDcOperands][256] = {};
  std::int32_t dcTouched = 0;  // entries written since the last clearing
  // Where each field was read, indexed by DiagField (Operands: the whole
  // operand field), and each DC operand.
  FieldPos fields[7];
  FieldPos dcFields[kMaxDcOperands];
  const FieldPos& Pos(DiagField f) const { return fields[static_cast<int>(f)]; }
};

struct SSymbolTbl {
  char name[9] = {};
  char entryName[9] = {};
  Word address = 0;
  std::int32_t isStart = 0;
};

enum RefState : std::int32_t { RefLocal = 0, RefOtherProgram = 1, RefExternal = 2 };

struct SRefTbl {
  char name[10] = {};
  Word address = 0;
  std::int32_t state = RefLocal;
};

struct SLiteralTbl {
  std::int32_t programNumber = 0;
  Word refAddress = 0;
  Word valueAddress = 0;
  std::string text;
  std::int32_t first = 0;
};

// What generation placed for a statement, as the listing prints it. A row names
// addresses, not words: the listing reads the words from the finished image,
// once the references are resolved.
struct ListingRow {
  enum class Shape : std::uint8_t {
    OneWord,   // the word and the blank columns of a second
    TwoWords,  // an instruction with its address word
    Bare,      // only the word (further words of a DS or of a DC string)
  };
  Word address = 0;
  Shape shape = Shape::OneWord;
  bool expansion = false;  // a line of a macro's expansion, led by the statement's label field
  bool reference = false;  // the address word (a DC constant's word) is shown as "---- E" when left to the linker
  std::int32_t count = 1;  // rows for that many consecutive addresses; the text is on the first
  std::string text;        // what the row shows after the words
};

struct ListedStatement {
  // Where the source line goes: on the first row, or on a line of its own
  // before the rows (a macro, or nothing placed) or after them (an END after
  // its program's literals).
  enum class Source : std::uint8_t { FirstRow, Before, After };
  std::int32_t line = 0;
  std::string_view text;  // the source line as read
  Source source = Source::FirstRow;
  bool literals = false;         // rows of placed literals: listed only when the assembly has no errors
  std::int32_t labelLength = 0;  // of a macro statement, to lead its expansion lines
  std::size_t firstRow = 0;
  std::size_t rowCount = 0;
};

struct SErrorTbl {
  std::int32_t lineNumber = -1;
  std::string text;
};

// Character classes of the source language (ASCII bytes only).
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
inline bool IsLetter(char c) { return c >= 'A' && c <= 'Z'; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F'); }
bool IsGeneralRegister(const char* text);
bool IsIndexRegister(const char* text);

// Values of constants.
Word DecimalWord(const char* text);               // optional '-' and leading digits, low 16 bits
std::int64_t DecimalMagnitude(const char* text);  // strtol-like, saturating
Word ParseHex(const char* digits);                // the last four hexadecimal digits count
inline Word CharWord(char c) { return static_cast<Word>(static_cast<std::int16_t>(static_cast<signed char>(c))); }

// Packs a name of at most 8 bytes into a hash key; longer names give 0
// (no label is longer, so such a name never matches).
std::uint64_t NameKey(const char* name);

// Splits a source text into the lines the assembler numbers: pieces of at
// most 255 bytes, each ending after a line feed, at 255 bytes or at the end
// of the text (CR LF is read as LF, as a text-mode read does). Each piece is
// then cut at its first CR, LF or NUL byte.
class LineReader {
 public:
  // What cut the last piece before its end: a CR that starts no CR LF, or a
  // NUL. Editors show what follows a lone CR on a line of its own, yet none
  // of it is assembled.
  enum class Cut { None, LoneCr, Nul };

  explicit LineReader(std::string_view text) : text_(text) {}
  // Returns false at the end of the text.
  bool Next(std::string_view& line);
  Cut CutBy() const { return cut_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  Cut cut_ = Cut::None;
};

class Assembler {
 public:
  explicit Assembler(MessageSink& sink) : sink_(sink) {}
  Assembler(const Assembler&) = delete;
  Assembler& operator=(const Assembler&) = delete;

  int Assemble(const std::string& sourcePath, BuildOptions options);

  // Stages, public for the tests.
  void AnalyseLine(SAsmLine& line, std::string_view text);
  void CheckLine(const SAsmLine& line);
  void GenerateLine(const SAsmLine& line);
  void CheckStartEnd();
  void ResolveFile();
  // Prints the listing of the text just assembled into `out`, from the rows
  // generation recorded (when asked to, see AssembleText).
  void BuildListing(std::string& out) const;
  bool WriteObjectFile(const std::string& objectPath);
  // The object's tables as the file stores them, signed with `fileName`; false
  // (with the message) when a table has more rows than a count word holds.
  bool MakeObject(const std::string& fileName, ObjectFile& out);
  // Assembly of text already in memory: no listing, nothing written.
  bool AssembleInMemory(const std::string& name, std::string_view source, ObjectFile& out);
  // The line map beside the object file just written (see link/LineMap.h).
  void WriteObjectLineMap(const std::string& objectPath, std::string_view source);

  // Assembles text held in memory: every stage but the file handling. The
  // listing text is produced into `listing` when it is not null.
  void AssembleText(std::string_view source, std::string* listing);
  // The same for the bytes of a source file, in either encoding the source
  // reader accepts (common/SourceEncoding.h).
  void AssembleFileBytes(std::string_view bytes, std::string* listing);

  // Every message line of the assembly, as a record about `sourcePath`.
  void Report(Diagnostic d);
  void ReportStart(const std::string& path);  // "Assemble[...]"
  // An error about a line, with the field it is about (none: the whole line).
  void ReportLineError(std::int32_t lineNumber, DiagCode code, const std::string& text, FieldPos at = {});
  // A warning about a line: shown, never counted as an error, not listed.
  void ReportLineWarning(std::int32_t lineNumber, DiagCode code, const std::string& text);
  // Characters of a UTF-8 source that CP932 cannot hold, in the piece `text`
  // of the decoded source: an error for the line unless they are in its comment.
  void CheckUnheldCharacters(std::string_view source, std::string_view text, std::int32_t lineNumber);
  // An error about the source as a whole; `subject` is the label it names.
  void ReportError(DiagCode code, const std::string& text, const std::string& subject = {});
  void ReportErrorParts(DiagCode code, const std::string& a, const std::string& b, const std::string& c);
  void ReportFileError(DiagCode code, const std::string& path, const std::string& text);
  void ReportSystemError(DiagCode code, const std::string& text);
  void ReportErrorTotal();

  // State, readable by the tests.
  std::vector<std::size_t> unheldCharacters;  // offsets in the decoded source, ascending
  std::vector<Word> codeImage = std::vector<Word>(kMemoryWords, 0);
  std::int32_t locationCounter = 0;
  std::vector<SSymbolTbl> symbolTable;
  std::vector<SRefTbl> referenceTable;
  std::vector<SLiteralTbl> programLiterals;
  std::vector<SLiteralTbl> fileLiterals;
  std::vector<Word> dataAddressList;
  int startEndBalance = 0;
  char lastMnemonic[10] = {};
  std::int64_t errorCount = 0;
  std::int64_t warningCount = 0;
  std::vector<SErrorTbl> errorList;
  bool suppressLineErrors = false;
  std::int32_t instructionCount = 0;
  std::int32_t programNumber = 0;
  std::int32_t lineCount = 0;
  std::string sourcePath;
  // Which line produced which words, in address order (relative addresses).
  std::vector<LineRun> lineRuns;
  // What generation placed, statement by statement, for the listing (kept
  // only while a listing is wanted). The statements' texts point into the
  // text given to AssembleText and are good only as long as it is.
  bool recordListing = false;
  std::vector<ListedStatement> listedStatements;
  std::vector<ListingRow> listingRows;

 private:
  struct LabelInfo {
    std::int32_t fileFirst = -1;  // first symbol-table entry of the name
    std::int32_t program = -1;    // program part the fields below belong to
    std::int32_t programFirst = -1;
    std::int32_t programCount = 0;
    std::int32_t programSeen = 0;
    std::int32_t startCount = 0;  // START entries of the name
    std::int32_t startSeen = 0;
  };

  void DefineLabel(const SAsmLine& line);
  void RecordReference(const char* name, std::int32_t address);
  bool Fits(std::int32_t words) const { return locationCounter + words < 65536; }
  void AddressWord(const char* operand, std::int32_t address);
  void GenerateDc(const SAsmLine& line);
  struct ExpansionStep;
  void GenerateExpansion(const SAsmLine& line, const InstructionDef& ins);
  void GenerateMacro(const SAsmLine& line, const ExpansionStep* steps, int count);
  // A listing row for what the current statement placed.
  void ListRow(std::int32_t address, ListingRow::Shape shape, std::int32_t count = 1, std::string text = {},
               bool expansion = false, bool reference = false);
  ListedStatement* ListedNow() {
    return recordListing && !listedStatements.empty() ? &listedStatements.back() : nullptr;
  }
  void PlaceLiterals();
  void EndOfProgram();
  // Records words [from, locationCounter) as produced by `line`.
  void RecordRun(std::int32_t from, std::int32_t line, bool code);
  std::int32_t LineOfAddress(Word address) const;

  MessageSink& sink_;
  std::unordered_map<std::uint64_t, LabelInfo> labels_;
  std::int32_t programIndex_ = 0;  // number of ENDs so far
  std::size_t symbolStart_ = 0;
  std::size_t referenceStart_ = 0;
  SAsmLine line_;
};

}  // namespace tolvane
