#include "RecordingUI.h"

RecordingUI::Scope::Scope() {
    auto ui = std::make_unique<RecordingUI>();
    ui_ = ui.get();
    previous_ = UIServices::install(std::move(ui));
}

RecordingUI::Scope::~Scope() { UIServices::install(std::move(previous_)); }
