#include "basDWF_Acad.h"

#include "acad/basAcadConnect.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

void pu_subLineTypeList() {
    pu_sLineTypeArray = QStringList{QString()};
    if (!pu_oAcadDoc)
        throw platform::vbError(platform::vberr::ObjectNotSet);
    const acad::AcadLinetypes linetypes = pu_oAcadDoc->Linetypes();
    for (const QString& sName : linetypes) {
        const QString lower = sName.toLower();
        if (lower != QLatin1String("bylayer") && lower != QLatin1String("byblock"))
            pu_sLineTypeArray.append(sName);
    }
}

namespace {

qint32 countOn(acad::AcadSelectionSet& oSet, const QVariant& vName) {
    oSet.Clear();
    // Group code 8: the layer name.
    oSet.Select(acad::acSelectionSetAll, QList<int>{8}, QVariantList{vName});
    return oSet.Count();
}

} // namespace

qint32 pu_fun_lnObjectCount(acad::AcadDocument& oDoc, const QVariant& vLayerName) {
    // Old sets go first, the CAD's failures ignored: a set that cannot be deleted stays
    // and the loop goes on, always deleting the first remaining one. Anything else (a
    // window closed while the CAD was answering stops its refresh) goes on up: swallowed,
    // it left the set in place for the Add below to fail on.
    try {
        acad::AcadSelectionSets sets = oDoc.SelectionSets();
        const int c = sets.Count();
        for (int i = 0; i < c; ++i) {
            try {
                sets.Item(0).Delete();
            } catch (const platform::VbError&) {
            }
        }
    } catch (const platform::VbError&) {
    }

    acad::AcadSelectionSet oSet = oDoc.SelectionSets().Add(QStringLiteral("cSet"));
    qint32 total = 0;
    const int type = vLayerName.typeId();
    if (type == QMetaType::QStringList || type == QMetaType::QVariantList) {
        const QVariantList names = vLayerName.toList();
        for (qsizetype i = 1; i < names.size(); ++i)
            total += countOn(oSet, names.at(i));
    } else {
        total += countOn(oSet, vLayerName);
    }
    return total;
}
