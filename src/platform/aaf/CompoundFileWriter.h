// Writes a structured-storage compound document (version 4, 4096-byte sectors) into memory:
// nested storages, each with a class ID, holding named streams. The sector layout is libgsf's;
// the class ID in the document header, where AAF keeps its file signature, is set here.
//
//   CompoundFileWriter writer(signature, rootClassID);
//   writer.beginStorage("Header-2", headerClassID);
//   writer.writeStream("properties", bytes);
//   writer.endStorage();
//   std::optional<Bytes> document = writer.finish();
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/aaf/AAFTypes.h"
#include "platform/aaf/StoredFormat.h"

namespace vorlane::aaf {

class CompoundFileWriter {
  public:
    CompoundFileWriter(const AUID& signature, const AUID& rootClassID);
    ~CompoundFileWriter();
    CompoundFileWriter(const CompoundFileWriter&) = delete;
    CompoundFileWriter& operator=(const CompoundFileWriter&) = delete;

    // A storage inside the current one, which becomes the current one until endStorage().
    void beginStorage(const std::string& name, const AUID& classID);
    void endStorage();
    // A stream of the current storage.
    void writeStream(const std::string& name, std::span<const uint8_t> bytes);

    // Closes every storage and answers the document; nothing when any step failed.
    std::optional<Bytes> finish();

    // The order of names in a storage's directory: shorter names first, names of one length by
    // their upper-case characters. A storage's children are filed fastest when added in reverse
    // order (libgsf keeps them sorted and walks the list from its smallest name).
    static bool directoryOrderBefore(const std::string& left, const std::string& right);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vorlane::aaf
