// A Canvas that records every call, so that pictures can be checked without pixels.
#include "ui/recording_canvas.h"

#include <utility>

namespace veldaris::ui {

CanvasCall& RecordingCanvas::Record(CanvasCallKind kind) {
  CanvasCall call = state_;
  call.kind = kind;
  call.a = call.b = call.c = call.d = 0;
  call.color = 0;
  call.text.clear();
  calls_.push_back(std::move(call));
  return calls_.back();
}

void RecordingCanvas::SelectPen(ColorRef color, int width) {
  state_.pen_color = color;
  state_.pen_width = width;
  CanvasCall& call = Record(CanvasCallKind::SelectPen);
  call.a = width;
  call.color = color;
}

void RecordingCanvas::SelectBrush(ColorRef color) {
  state_.brush_color = color;
  Record(CanvasCallKind::SelectBrush).color = color;
}

void RecordingCanvas::SelectFont() {
  state_.font_selected = true;
  Record(CanvasCallKind::SelectFont);
}

void RecordingCanvas::SetTextColor(ColorRef color) {
  state_.text_color = color;
  Record(CanvasCallKind::SetTextColor).color = color;
}

void RecordingCanvas::MoveTo(int x, int y) {
  x_ = x;
  y_ = y;
  CanvasCall& call = Record(CanvasCallKind::MoveTo);
  call.a = x;
  call.b = y;
}

void RecordingCanvas::LineTo(int x, int y) {
  CanvasCall& call = Record(CanvasCallKind::LineTo);
  call.a = x_;
  call.b = y_;
  call.c = x;
  call.d = y;
  x_ = x;
  y_ = y;
}

void RecordingCanvas::Ellipse(int left, int top, int right, int bottom) {
  CanvasCall& call = Record(CanvasCallKind::Ellipse);
  call.a = left;
  call.b = top;
  call.c = right;
  call.d = bottom;
}

void RecordingCanvas::TextOut(int x, int y, std::string_view text) {
  CanvasCall& call = Record(CanvasCallKind::TextOut);
  call.a = x;
  call.b = y;
  call.text.assign(text);
}

std::vector<CanvasCall> RecordingCanvas::Calls(CanvasCallKind kind) const {
  std::vector<CanvasCall> out;
  for (const CanvasCall& call : calls_) {
    if (call.kind == kind) {
      out.push_back(call);
    }
  }
  return out;
}

int RecordingCanvas::CountStrokes(ColorRef pen_color) const {
  int count = 0;
  for (const CanvasCall& call : calls_) {
    if (call.kind == CanvasCallKind::LineTo && call.pen_color == pen_color) {
      ++count;
    }
  }
  return count;
}

const CanvasCall* RecordingCanvas::FindText(std::string_view text) const {
  for (const CanvasCall& call : calls_) {
    if (call.kind == CanvasCallKind::TextOut && call.text == text) {
      return &call;
    }
  }
  return nullptr;
}

void RecordingCanvas::Clear() {
  calls_.clear();
  state_ = CanvasCall();
  x_ = 0;
  y_ = 0;
}

}  // namespace veldaris::ui
