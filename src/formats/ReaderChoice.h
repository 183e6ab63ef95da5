// Which reader handles an added file: the fixed order of the readers' class tests that the media
// pool asks (it cannot include the readers itself; the application installs `chooseMediaReader`
// when it creates the pool). The first test that accepts the file decides; a file kind whose
// reader is not part of this build is named in the answer's reason.
#pragma once

#include <filesystem>

#include "media/MediaPool.h"

namespace vorlane {

// The pool's reader choice (a MediaReaderFactory).
MediaReaderChoice chooseMediaReader(const std::filesystem::path& url, MediaPool& pool);

// The reader choice with FCPXML documents handed to `importDocument`: the import sits above the
// readers, so the application wires it in.
MediaReaderFactory readerChoiceImportingDocuments(MediaReaderFactory importDocument);

// Whether a reader of this build (or the FCPXML import) takes the file (isSupportedMediaURL: the
// drop target's filter).
bool isSupportedMediaURL(const std::filesystem::path& url);

}  // namespace vorlane
