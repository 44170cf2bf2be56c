#pragma once

#include "acad/basAcadUse.h"

#include <QString>
#include <vector>

namespace acad {
class AcadDocument;
}

// The on and frozen states a failed refresh could not put back (the CAD stopped or
// stopped answering while every layer was on and thawed), kept with the drawing they
// belong to. The next refresh takes a new snapshot, which would take the wrong states
// for the drawing's own: before that, once the CAD answers again, the user is offered to
// have them put back from the snapshot the failed refresh took.
class UnrestoredLayerStates {
public:
    void keep(const QString& sFullName, std::vector<typLayerState> records);
    bool empty() const { return m_records.empty(); }

    // Asks, when oAcadDoc is the drawing they belong to, and puts back what the user
    // wants back; what still fails stays for the next time. Answered No, they are
    // forgotten. A drawing that does not answer, or another drawing, keeps them.
    void offer(acad::AcadDocument& oAcadDoc);

private:
    QString m_sFullName;
    std::vector<typLayerState> m_records;
};
