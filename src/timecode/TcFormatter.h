// The text-field formatter of timecode fields: makes and reads their text through TCHelper and
// reformats the digits while the user types. The toolkit's field asks it; the answer says
// whether to take the edit, whether to sound the alert beep, and which text to show instead.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "timecode/TCHelper.h"

namespace vorlane {

// A selection in a field's text, in characters (the accepted text is ASCII).
struct TextRange {
    size_t location = 0;
    size_t length = 0;
};

struct TcEditAnswer {
    bool accepted = false;
    bool beep = false;
    // Set when the edit is answered with reformatted text, which then shows with the selection
    // replacementSelection.
    std::optional<std::string> replacement;
    TextRange replacementSelection;
};

class TcFormatter {
  public:
    double frameRate() const { return frameRate_; }
    void setFrameRate(double frameRate) { frameRate_ = frameRate; }
    bool dropFrame() const { return dropFrame_; }
    void setDropFrame(bool dropFrame) { dropFrame_ = dropFrame; }

    // The value's text with a sign and negative values kept; the formatter takes over the value's
    // frame rate and drop flag. No value gives the empty text.
    std::string stringForObjectValue(const TCHelper* value);
    // A new value at the formatter's rate parsed from the text, or nullptr when it is no timecode.
    std::shared_ptr<TCHelper> getObjectValue(const std::string& text) const;
    // Live reformatting of a proposed edit: characters other than digits, separators and signs
    // are refused with a beep, more than eight digits are refused, and an edit typed at the end of
    // the field is answered with the digits regrouped in pairs from the right and the cursor at
    // the end; an edit elsewhere is taken as typed.
    TcEditAnswer isPartialStringValid(const std::string& proposedString,
                                      const std::string& originalString,
                                      TextRange originalSelectedRange) const;

  private:
    double frameRate_ = 0.0;
    bool dropFrame_ = false;
};

}  // namespace vorlane
