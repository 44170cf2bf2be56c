#include "cadhost/dxf/DxfReader.h"

#include "cadhost/dxf/BlockExpander.h"
#include "cadhost/dxf/DxfBuilder.h"
#include "cadhost/dxf/DxfPrescan.h"
#include "cadhost/dxf/DxfSource.h"
#include "cadhost/dxf/DxfText.h"
#include "cadhost/dxf/FastPathFeeder.h"
#include "cadhost/dxf/LayerNameLimit.h"
#include "cadhost/model/CadErrors.h"
#include "cadhost/model/Drawing.h"
#include "platform/DxfSignature.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTransform>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dxflib/dl_dxf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Reading runs in three stages, each in its own file: FastPathFeeder checks the pairs
// and reads the commonest entities itself, DxfBuilder collects what dxflib reads, and
// the assembly below turns the collected entities into a Drawing, expanding block
// references with BlockExpander.

namespace cadhost::dxf {

using detail::BlockExpander;
using detail::DxfBuilder;
using detail::FastPathFeeder;
using detail::RawEntity;

namespace {

// The drawing opens on the layer its header names, as the CAD that saved it left it.
// A name the table lacks, or a frozen layer, cannot be current: layer "0" stays.
void makeHeaderLayerCurrent(Drawing& drawing, const QString& name) {
    const Layer* layer = name.isEmpty() ? nullptr : drawing.findLayer(name);
    if (layer && !layer->freeze)
        drawing.setActiveLayer(layer->name);
}

[[noreturn]] void fail(const QString& displayName, const QString& what) {
    throwCadError(caderr::Failed, QStringLiteral("cannot open %1: %2").arg(displayName, what));
}

} // namespace

namespace {

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Closes the descriptor however reading ends.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

// The whole of a regular file, read through one descriptor so that what was checked is
// what is read. Opened without blocking: opening a pipe would otherwise wait for a
// writer for ever, before any check could look at it. Read no further than the size
// the file had when opened, so that a file something keeps writing to ends too.
QByteArray readRegularFile(const QString& path, const QString& displayName, qint64 maxBytes,
                           platform::SafeFile::FileId& id) {
    const Descriptor file{
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0)
        fail(displayName, systemError());
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        fail(displayName, systemError());
    if (!S_ISREG(info.st_mode))
        fail(displayName, QStringLiteral("not a drawing file"));
    id = platform::SafeFile::FileId{quint64(info.st_dev), quint64(info.st_ino)};
    if (info.st_size > maxBytes)
        fail(displayName, QStringLiteral("the file is larger than %1 bytes").arg(maxBytes));
    QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
    qsizetype got = 0;
    const auto readUpTo = [&](qsizetype end) {
        while (got < end) {
            const ssize_t n = ::read(file.fd, bytes.data() + got, std::size_t(end - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                fail(displayName, systemError());
            if (n == 0)
                break; // the file shrank meanwhile: what is there is read
            got += n;
        }
    };
    // A file of another kind is told from its first bytes, as a CAD's open tells it,
    // before the rest of it (a gigabyte, maybe) is read. An empty file is left to the
    // reader, which says so.
    readUpTo(std::min(bytes.size(), DxfSignature::kHeadBytes));
    if (got > 0 && DxfSignature::ofHead(QByteArray::fromRawData(bytes.constData(), got)) ==
                       DxfSignature::Kind::NotDxf)
        fail(displayName, QStringLiteral("not a DXF drawing"));
    readUpTo(bytes.size());
    bytes.truncate(got);
    return bytes;
}

} // namespace

std::unique_ptr<Drawing> DxfReader::readFile(const QString& path, const DxfReadLimits& limits) {
    const QString displayName = QFileInfo(path).fileName();
    platform::SafeFile::FileId id;
    auto drawing =
        readBytes(readRegularFile(path, displayName, limits.fileBytes, id), displayName, limits);
    drawing->setFileId(id);
    return drawing;
}

std::unique_ptr<Drawing> DxfReader::readBytes(const QByteArray& bytes, const QString& displayName,
                                              const DxfReadLimits& limits) {
    // One pass: every pair is checked and then read, so the file is split into lines
    // and its numbers parsed once. A damaged file may leave a half-built drawing here,
    // which is thrown away; the open drawing is never touched.
    DL_Dxf dxf;
    DxfBuilder builder(dxf);
    builder.setText(DxfText(QString(), QString()));
    QByteArray forDxflib;
    DxfPrescan scan;
    {
        FastPathFeeder feeder(builder, bytes.size());
        scan = DxfPrescan::check(bytes, &feeder);
        if (!scan.ok)
            fail(displayName, QStringLiteral("line %1: %2").arg(scan.errorLine).arg(scan.error));
        feeder.finish();
        forDxflib = std::move(feeder.forDxflib());
    }
    {
        // dxflib's FILE reader is several times faster than its stream reader; what it
        // reads is already in memory and checked, so it is read from there.
        FILE* fp = fmemopen(forDxflib.data(), std::size_t(forDxflib.size()), "r");
        if (!fp)
            fail(displayName, QStringLiteral("out of memory"));
        try {
            while (dxf.readDxfGroups(fp, &builder)) {
            }
        } catch (const std::exception& e) {
            fclose(fp);
            fail(displayName, QString::fromLocal8Bit(e.what()));
        }
        fclose(fp);
    }
    builder.finish();

    detail::LayerNameLimit names;
    for (const Layer& l : builder.layers)
        names.note(l.name);
    for (const QString& name : builder.objectLayerNames())
        names.note(name);
    const QString headerLayer = builder.currentLayerName();
    names.note(headerLayer);
    names.settle();
    if (names.any())
        builder.limitLayerNames(names);

    auto drawing = std::make_unique<Drawing>();
    for (const QString& warning : names.warnings())
        drawing->addOpenWarning(warning);
    for (const Layer& l : builder.layers)
        drawing->putLayer(l);
    for (const QString& lt : builder.linetypes)
        drawing->addLinetype(lt);
    makeHeaderLayerCurrent(*drawing, names(headerLayer));

    // Everything the drawing would hold is counted before any of it is made, so that a
    // drawing over the bound costs neither the memory nor the time of making it.
    detail::ExpansionBudget budget{limits.primitives, limits.points};
    try {
        BlockExpander counter(builder.blocks);
        for (const RawEntity& raw : builder.model) {
            if (raw.insert) {
                counter.count(*raw.insert, budget, 0);
                continue;
            }
            budget.primitives -= std::max<qsizetype>(1, raw.primitives.size());
            for (const Primitive& p : raw.primitives)
                budget.points -= p.points.size();
            if (budget.primitives < 0 || budget.points < 0)
                throw detail::ExpansionTooLarge{};
        }
        if (counter.tooDeep() > 0)
            drawing->addOpenWarning(
                QStringLiteral("%1 block references nested deeper than %2 levels are not drawn")
                    .arg(counter.tooDeep())
                    .arg(detail::kMaxBlockDepth));
    } catch (const detail::ExpansionTooLarge&) {
        fail(displayName,
             QStringLiteral("the drawing expands to more than %1 primitives or %2 points")
                 .arg(limits.primitives)
                 .arg(limits.points));
    }

    drawing->reserveEntities(builder.model.size());
    BlockExpander expander(builder.blocks);
    // An object on a layer the table lacks: the CAD makes the layer, under the name the
    // file gives. Names seen once are remembered exactly, which spares a case fold for
    // every entity.
    QSet<QString> known;
    auto ensureLayer = [&](const QString& name) {
        if (known.contains(name))
            return;
        if (!name.isEmpty() && drawing->layerIndex(name) < 0) {
            Layer layer;
            layer.name = name;
            drawing->putLayer(layer);
        }
        known.insert(name);
    };
    for (RawEntity& raw : builder.model) {
        Entity e;
        e.type = std::move(raw.type);
        e.layer = std::move(raw.layer);
        // ByBlock outside a block has no block to take a colour from: the CAD shows white.
        e.color = raw.color == aci::ByBlock ? 7 : raw.color;
        if (raw.insert) {
            e.blockName = raw.insert->block;
            expander.expand(*raw.insert, e.layer, e.color, QTransform(), e.primitives, 0);
        } else {
            e.primitives = std::move(raw.primitives);
            for (Primitive& p : e.primitives)
                if (p.color == aci::ByBlock)
                    p.color = 7;
        }
        ensureLayer(e.layer);
        for (const Primitive& p : e.primitives)
            ensureLayer(p.layer);
        drawing->addEntity(std::move(e));
    }
    // Paper space and block definitions stay in the file only, but what lies on a layer
    // keeps it from being deleted.
    auto outside = [&](const QString& name) {
        if (name.isEmpty())
            return;
        ensureLayer(name);
        drawing->addOutsideReference(name);
    };
    for (const QString& name : std::as_const(builder.paperSpaceLayers))
        outside(name);
    for (const auto& block : std::as_const(builder.blocks))
        for (const RawEntity& e : block.entities)
            outside(e.layer);

    drawing->setSource(DxfSource::read(bytes, scan.acadVersion, scan.codePage, *drawing, names));
    return drawing;
}

} // namespace cadhost::dxf
