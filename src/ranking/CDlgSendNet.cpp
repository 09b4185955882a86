#include "ranking/CDlgSendNet.h"

#include "shared/AreaNames.h"

const char* CDlgSendNet::AreaAt(int index) {
    return AreaName(index);
}

int CDlgSendNet::PreselectedIndex(const std::string& storedArea) {
    return storedArea.empty() ? 0 : AreaIndex(storedArea);
}

std::string CDlgSendNet::AreaForSelection(int index) {
    return AreaAt(index);
}

int CDlgSendNet::DoModal(platform::Dialogs& dialogs) {
    platform::ScoreDialogFields fields;
    fields.name = name;
    for (int i = 0; i < kAreaCount; ++i) {
        fields.areas.push_back(AreaName(i));
    }
    fields.selectedArea = PreselectedIndex(area);
    if (!dialogs.AskScore(fields)) {
        return kClose;
    }
    name = fields.name;
    area = AreaForSelection(fields.selectedArea);
    return kSend;
}
