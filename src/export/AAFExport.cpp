#include "export/AAFExport.h"

#include "platform/Log.h"

namespace vorlane {

bool AAFExport::openFile(const std::filesystem::path& url, bool /*editProtocol*/) {
    Log::writef("AAFExport: no AAF writer in this build, %s not written", url.c_str());
    return false;
}

void AAFExport::addSequence(const std::shared_ptr<MediaComposition>& /*composition*/,
                            int32_t /*type*/) {}

bool AAFExport::closeFile() {
    return false;
}

}  // namespace vorlane
