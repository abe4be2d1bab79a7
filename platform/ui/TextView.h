// A scrolling view of text that the user may read or edit. Only the text is modelled
// (glyphs are not drawn; editing is done by code). Unlike a label's, its text is never
// absent: a new text view holds "".
//
// Main thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/ScrollView.h"

namespace platform {

class TextView : public ScrollView {
 public:
  static std::shared_ptr<TextView> create(const Rect& frame = {});

  const std::string& text() const { return text_; }
  void setText(std::string text) { text_ = std::move(text); }
  bool isEditable() const { return editable_; }
  void setEditable(bool editable) { editable_ = editable; }

 protected:
  explicit TextView(const Rect& frame) : ScrollView(frame) {}

 private:
  std::string text_;
  bool editable_ = true;
};

}  // namespace platform
