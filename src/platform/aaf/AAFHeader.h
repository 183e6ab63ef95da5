// The header of an AAF file: byte order, version, modification time, the identification of the
// application that wrote the file, the operational pattern, the dictionary and the content
// storage, which holds the mobs.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/aaf/AAFMob.h"

namespace vorlane::aaf {

// Who writes a file.
struct ProductIdentification {
    std::string companyName;
    std::string productName;
    std::string productVersionString;
    AUID productID;
    std::optional<std::string> platform;
};

class AAFIdentification : public AAFObject {
  public:
    static constexpr AUID kClassID = ClassID::Identification;
    using AAFObject::AAFObject;
    // The product, dated now, with a new generation identifier.
    AAFResult initialize(const ProductIdentification& product);
};

class AAFContentStorage : public AAFObject {
  public:
    static constexpr AUID kClassID = ClassID::ContentStorage;
    // Without mobs.
    explicit AAFContentStorage(std::shared_ptr<AAFClassDef> definition);
    AAFResult addMob(const std::shared_ptr<AAFMob>& mob);
};

class AAFHeader : public AAFObject {
  public:
    static constexpr AUID kClassID = ClassID::Header;
    using AAFObject::AAFObject;

    // Fills a new header: dictionary, empty content storage and the writer's identification.
    AAFResult initialize(const std::shared_ptr<AAFDictionary>& dictionary,
                         const std::shared_ptr<AAFContentStorage>& content,
                         const std::shared_ptr<AAFIdentification>& identification);

    AAFResult setOperationalPattern(const AUID& pattern);
    AAFResult getDictionary(std::shared_ptr<AAFDictionary>& result) const;
    AAFResult addMob(const std::shared_ptr<AAFMob>& mob);

  private:
    std::shared_ptr<AAFDictionary> dictionary_;
    std::shared_ptr<AAFContentStorage> content_;
};

}  // namespace vorlane::aaf
