#include "link/Linker.h"

#include <cstdint>
#include <cstdio>
#include <new>
#include <unordered_map>

#include "common/AtomicFile.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"
#include "link/LineMap.h"
#include "link/LoadModule.h"
#include "link/ObjectFile.h"

namespace tolvane {

namespace {

// Everything from F000H up is the system area; programs and stack stay below.
constexpr std::uint32_t kSystemArea = 0xF000;
constexpr Word kLowestOrigin = 0x0100;
constexpr Word kHighestOrigin = 0xEFFF;
constexpr Word kStackSizeLimit = 0xEF00;

class LinkRun {
 public:
  LinkRun(BuildOptions options, MessageSink& sink) : options_(options), sink_(sink) {}

  bool Run(const std::vector<std::string>& objectNames) {
    if (objectNames.empty()) {
      Error(DiagCode::NoObjectFiles, Cp932Text(u8"リンクするオブジェクトファイルが指定されていません。"));
      return false;
    }
    std::vector<std::string> paths;
    paths.reserve(objectNames.size());
    for (const std::string& name : objectNames) paths.push_back(ChangeExtension(name, ".obj"));

    const std::string exePath = ChangeExtension(paths.front(), ".exe");
    Progress(exePath);
    std::string symPath;
    if (options_.symbolFile) symPath = ChangeExtension(paths.front(), ".sym");

    if (!CheckOptions()) return false;

    // First pass: every file is read and checked before anything is placed, so
    // a bad file anywhere in the list stops the link with its own message.
    std::vector<ObjectFile> objects(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
      if (!ReadObjectFile(paths[i], objects[i], sink_)) return false;
    objectPaths_ = paths;

    LoadModule module;
    if (!Combine(objects, module)) return false;

    // The symbol file counts its records in one word; more would wrap the count
    // and leave a file that reads back as garbage.
    if (options_.symbolFile && labels_.size() > 0xFFFF) {
      Error(DiagCode::TableTooLarge, symPath + Cp932Text(u8"の表の項目数が65535を超えています。"), symPath);
      return false;
    }

    // An output that is one of the object files (a link, say) would destroy it.
    for (const std::string& output : {exePath, symPath}) {
      for (const std::string& input : paths) {
        if (!output.empty() && SameFile(output, input)) {
          Error(DiagCode::OutputIsInput, output + OutputIsAnInputText(), output);
          return false;
        }
      }
    }

    ReportTotal();
    if (!WriteLoadModule(exePath, module, sink_)) return false;
    if (options_.symbolFile && !WriteSymbolFile(symPath, labels_, sink_)) return false;
    WriteModuleLineMap(exePath, paths, bases_, sink_);
    return true;
  }

  // Objects already in memory: the load module lands in `module`, nothing is written.
  bool RunInMemory(std::vector<ObjectFile>& objects, const std::vector<LineMapSource>& lines, const std::string& name,
                   LoadModule& module) {
    lines_ = lines;
    linesKnown_ = true;
    Progress(name);
    if (objects.empty()) {
      Error(DiagCode::NoObjectFiles, Cp932Text(u8"リンクするオブジェクトファイルが指定されていません。"));
      return false;
    }
    if (!CheckOptions() || !Combine(objects, module)) return false;
    ReportTotal();
    return true;
  }

 private:
  bool CheckOptions() {
    if (options_.origin < kLowestOrigin || options_.origin > kHighestOrigin) {
      Error(DiagCode::OriginOutOfRange,
            Cp932Text(u8"プログラムの配置開始番地は100H～EFFFHの範囲でなければなりません。"));
      return false;
    }
    if (options_.stackSize >= kStackSizeLimit) {
      Error(DiagCode::StackTooLarge, Cp932Text(u8"スタックのサイズが大きすぎます。"));
      return false;
    }
    return true;
  }

  // Places the objects, resolves the entries and externals and fills `module`;
  // the objects are consumed.
  bool Combine(std::vector<ObjectFile>& objects, LoadModule& module) {
    const Word origin = options_.origin;
    if (!Place(objects, origin)) return false;
    objects.clear();

    if (entries_.empty()) {
      Error(DiagCode::NoStartLabel,
            Cp932Text(u8"実行開始番地が決まりません。どのオブジェクトファイルにもSTART命令のラベルがありません。"));
      return false;
    }
    const Word start = entries_.front().address;

    ReportDuplicateEntries();
    ResolveExternals();
    if (errorCount_ > 0) return false;

    const std::uint32_t programEnd = base_;
    const std::uint32_t initialSp = programEnd + options_.stackSize;  // deliberately not reduced modulo 65536
    if (initialSp >= kSystemArea) {
      Error(DiagCode::NoStackRoom, Cp932Text(u8"スタック領域が確保できません。"));
      return false;
    }
    module.origin = origin;
    module.start = start;
    module.initialSp = static_cast<Word>(initialSp);
    module.stackLimit = static_cast<Word>(programEnd);
    module.image.assign(image_.begin() + origin, image_.begin() + programEnd);
    module.dataAddresses = std::move(dataAddresses_);
    return true;
  }

  // "LINK[...]" names the load module; the total says the link went through.
  void Progress(const std::string& module) {
    module_ = module;
    sink_.AppendDiagnostic({DiagCode::LinkStart, Severity::Info, module_, 0, -1, 0, module_, {}});
  }

  void ReportTotal() {
    sink_.AppendDiagnostic({DiagCode::LinkTotal, Severity::Info, module_, 0, -1, 0, std::to_string(errorCount_), {}});
  }

  // Most of the linker's errors point into no source.
  void Error(DiagCode code, const Bytes& text, const std::string& subject = {}) {
    sink_.AppendDiagnostic({code, Severity::Error, {}, 0, -1, 0, subject, text});
  }

  static Word Absolute(Word relative, std::uint32_t base) { return static_cast<Word>(relative + base); }

  // Second pass: objects one after another from the origin, addresses made
  // absolute, relocated words given their base.
  bool Place(const std::vector<ObjectFile>& objects, Word origin) {
    image_.assign(kMemoryWords, 0);
    base_ = origin;
    for (const ObjectFile& obj : objects) {
      bases_.push_back(base_);
      for (const SymbolRecord& e : obj.entries) entries_.push_back({e.name, Absolute(e.address, base_)});
      for (const SymbolRecord& x : obj.externals) {
        externals_.push_back({x.name, Absolute(x.address, base_)});
        externalWhere_.push_back({bases_.size() - 1, x.address});
      }
      if (base_ + obj.code.size() > kSystemArea) {
        Error(DiagCode::ProgramTooLargeToLoad, Cp932Text(u8"プログラムが大きすぎてメモリに格納できません。"));
        return false;
      }
      for (std::size_t i = 0; i < obj.code.size(); ++i) image_[base_ + i] = obj.code[i];
      // The reader guarantees every relocation address lies inside the code.
      for (Word a : obj.relocations) image_[base_ + a] = static_cast<Word>(image_[base_ + a] + base_);
      for (const SymbolRecord& l : obj.labels) labels_.push_back({l.name, Absolute(l.address, base_)});
      for (Word d : obj.dataAddresses) dataAddresses_.push_back(Absolute(d, base_));
      base_ += static_cast<std::uint32_t>(obj.code.size());
    }
    return true;
  }

  // Each entry whose name comes again later in the table is reported once, in
  // table order (a name present three times gives two lines).
  void ReportDuplicateEntries() {
    std::unordered_map<Bytes, std::size_t> remaining;
    for (const SymbolRecord& e : entries_) ++remaining[e.name];
    for (const SymbolRecord& e : entries_) {
      if (--remaining[e.name] == 0) continue;
      ++errorCount_;
      Error(DiagCode::EntryDuplicated,
            Cp932Text(u8"外部参照のSTART命令のラベル(") + e.name + Cp932Text(u8")が重複している。"), e.name);
    }
  }

  // Every external word receives the address of the first entry of its name.
  void ResolveExternals() {
    std::unordered_map<Bytes, Word> firstEntry;
    for (const SymbolRecord& e : entries_) firstEntry.emplace(e.name, e.address);
    for (std::size_t k = 0; k < externals_.size(); ++k) {
      const SymbolRecord& x = externals_[k];
      auto it = firstEntry.find(x.name);
      if (it != firstEntry.end()) {
        image_[x.address] = it->second;
        continue;
      }
      ++errorCount_;
      // The text stays as it is; the record also says where the reference is,
      // so that a reader can jump to it.
      Diagnostic d{DiagCode::ExternalUnresolved,
                   Severity::Error,
                   {},
                   0,
                   -1,
                   0,
                   x.name,
                   Cp932Text(u8"外部参照ラベル") + x.name + Cp932Text(u8"が参照できません。")};
      SourceOf(externalWhere_[k].first, externalWhere_[k].second, d.file, d.line);
      sink_.AppendDiagnostic(d);
    }
  }

  // The source file and line of word `relative` of object `index`, from the
  // object's line map (given in memory, or the map beside the object file when
  // it belongs to the object's bytes); nothing when there is none.
  void SourceOf(std::size_t index, Word relative, std::string& file, std::int32_t& line) {
    if (!linesKnown_) {
      linesKnown_ = true;
      lines_.assign(objectPaths_.size(), {});
      for (std::size_t i = 0; i < objectPaths_.size(); ++i) {
        LineMap map;
        FileFingerprint object;
        if (ReadLineMap(ObjectLineMapPath(objectPaths_[i]), map) && FingerprintFile(objectPaths_[i], object) &&
            map.target == object && map.sources.size() == 1)
          lines_[i] = std::move(map.sources.front());
      }
    }
    if (index >= lines_.size()) return;
    const LineMapSource& source = lines_[index];
    for (const LineRun& run : source.runs)
      if (relative >= run.address && relative - run.address < run.count) {
        file = source.path;
        line = run.line;
        return;
      }
  }

  BuildOptions options_;
  MessageSink& sink_;
  std::string module_;
  int errorCount_ = 0;
  std::uint32_t base_ = 0;
  std::vector<std::uint32_t> bases_;  // of each object, in link order
  // Where each external lies: its object's index and its relative address.
  std::vector<std::pair<std::size_t, Word>> externalWhere_;
  std::vector<std::string> objectPaths_;  // a link from files: where the line maps are
  std::vector<LineMapSource> lines_;      // each object's line map, once needed
  bool linesKnown_ = false;
  std::vector<Word> image_;
  std::vector<SymbolRecord> entries_, externals_, labels_;
  std::vector<Word> dataAddresses_;
};

}  // namespace

bool Link(const std::vector<std::string>& objectNames, BuildOptions options, MessageSink& sink) {
  try {
    LinkRun run(options, sink);
    return run.Run(objectNames);
  } catch (const std::bad_alloc&) {
    sink.AppendDiagnostic({DiagCode::OutOfMemory,
                           Severity::Error,
                           {},
                           0,
                           -1,
                           0,
                           {},
                           Cp932Text(u8"メモリが確保できません。(near heap領域)")});
    return false;
  }
}

bool LinkObjects(std::vector<ObjectFile> objects, const std::string& name, BuildOptions options, MessageSink& sink,
                 LoadModule& module) {
  return LinkObjects(std::move(objects), {}, name, options, sink, module);
}

bool LinkObjects(std::vector<ObjectFile> objects, const std::vector<LineMapSource>& lines, const std::string& name,
                 BuildOptions options, MessageSink& sink, LoadModule& module) {
  try {
    LinkRun run(options, sink);
    return run.RunInMemory(objects, lines, name, module);
  } catch (const std::bad_alloc&) {
    sink.AppendDiagnostic({DiagCode::OutOfMemory,
                           Severity::Error,
                           {},
                           0,
                           -1,
                           0,
                           {},
                           Cp932Text(u8"メモリが確保できません。(near heap領域)")});
    return false;
  }
}

}  // namespace tolvane
