// The private socket's calls served on the same objects the bus serves: arguments typed
// again for the member, the bus's property interface, and every way a call can fail
// answered with a number instead of a thrown exception.
#include "cadhost/dbus/DocumentObject.h"
#include "cadhost/dbus/MemberInvoker.h"
#include "cadhost/model/CadErrors.h"
#include "cadhost/model/Drawing.h"
#include "cadhost/model/Entity.h"
#include "platform/VbError.h"

#include <QDBusObjectPath>
#include <QDBusVariant>
#include <gtest/gtest.h>
#include <stdexcept>

using acadwire::Reply;
using acadwire::Request;
namespace wireerr = acadwire::wireerr;

namespace {

// A member that fails without the CAD's own error type, and a property that can be set.
class Gadget : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Korvel.Gadget")
    Q_PROPERTY(bool Armed READ armed WRITE setArmed)
    Q_PROPERTY(QString Label READ label)
public:
    bool armed() const { return m_armed; }
    void setArmed(bool armed) { m_armed = armed; }
    QString label() const { return QStringLiteral("装置"); }

public slots:
    Q_SCRIPTABLE void Break() { throw std::runtime_error("gear slipped"); }
    Q_SCRIPTABLE QDBusObjectPath Where() { return QDBusObjectPath(QStringLiteral("/Here/1")); }
    Q_SCRIPTABLE double Half(double value) { return value / 2; }
    // Not scriptable: the bus does not offer it, so neither may the socket.
    void Hidden() { m_armed = true; }

private:
    bool m_armed = false;
};

Request request(const QString& interface, const QString& member, QVariantList arguments) {
    static quint32 serial = 0;
    Request r;
    r.serial = ++serial;
    r.path = QStringLiteral("/Documents/1");
    r.interface = interface;
    r.member = member;
    r.arguments = std::move(arguments);
    return r;
}

const QString kDoc = QStringLiteral("AutoCAD.Document");
const QString kProps = QStringLiteral("org.freedesktop.DBus.Properties");

class MemberInvokerTest : public ::testing::Test {
protected:
    void SetUp() override {
        drawing.addLayer(QStringLiteral("壁"));
        for (int i = 0; i < 3; ++i) {
            cadhost::Entity e;
            e.type = QStringLiteral("LINE");
            e.layer = QStringLiteral("壁");
            drawing.addEntity(e);
        }
    }

    Reply call(QObject& object, const QString& interface, const QString& member,
               QVariantList arguments) {
        const Request r = request(interface, member, std::move(arguments));
        Reply reply = cadhost::dbus::invokeMember(object, r);
        EXPECT_EQ(reply.serial, r.serial) << "a reply answers its own call";
        return reply;
    }
    Reply doc(const QString& member, QVariantList arguments = {}) {
        return call(document, kDoc, member, std::move(arguments));
    }

    cadhost::Drawing drawing;
    cadhost::dbus::DocumentObject document{&drawing};
};

TEST_F(MemberInvokerTest, MembersAnswerWithPlainValues) {
    Reply reply = doc(QStringLiteral("LayerCount"));
    ASSERT_TRUE(reply.ok);
    EXPECT_EQ(reply.values, QVariantList{2});

    reply =
        doc(QStringLiteral("GetLayerProperty"), {QStringLiteral("壁"), QStringLiteral("LayerOn")});
    ASSERT_TRUE(reply.ok);
    ASSERT_EQ(reply.values.size(), 1);
    EXPECT_EQ(reply.values[0].typeId(), QMetaType::Bool) << "the variant is unwrapped";

    reply = doc(QStringLiteral("LinetypeNames"));
    ASSERT_TRUE(reply.ok);
    EXPECT_TRUE(reply.values.value(0).toStringList().contains(QStringLiteral("Continuous")));

    Gadget gadget;
    reply = call(gadget, QString(), QStringLiteral("Where"), {});
    ASSERT_TRUE(reply.ok);
    EXPECT_EQ(reply.values, QVariantList{QStringLiteral("/Here/1")}) << "object paths as text";
    reply = call(gadget, QString(), QStringLiteral("Half"), {7});
    ASSERT_TRUE(reply.ok) << "a whole number serves a double parameter";
    EXPECT_DOUBLE_EQ(reply.values.value(0).toDouble(), 3.5);
}

TEST_F(MemberInvokerTest, ArgumentsAreTypedForTheMember) {
    // A variant parameter takes any plain value; the model sees the value itself.
    Reply reply =
        doc(QStringLiteral("SetLayerProperty"), {QStringLiteral("壁"), QStringLiteral("Color"), 6});
    ASSERT_TRUE(reply.ok) << reply.errorDescription.toStdString();
    EXPECT_EQ(drawing.getLayerProperty(QStringLiteral("壁"), QStringLiteral("Color")).toInt(), 6);

    // A list of codes arrives as a list of numbers and becomes the member's list of ints.
    ASSERT_TRUE(doc(QStringLiteral("AddSelectionSet"), {QStringLiteral("s")}).ok);
    reply = doc(QStringLiteral("SelectAll"),
                {QStringLiteral("s"), QVariantList{8}, QVariantList{QStringLiteral("壁")}});
    ASSERT_TRUE(reply.ok) << reply.errorDescription.toStdString();
    EXPECT_EQ(doc(QStringLiteral("SelectionSetSize"), {QStringLiteral("s")}).values,
              QVariantList{3});

    // What does not fit is refused before the member runs.
    reply = doc(QStringLiteral("SelectAll"),
                {QStringLiteral("s"), QVariantList{QStringLiteral("8")}, QVariantList{}});
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.errorNumber, wireerr::TypeMismatch);
    reply = doc(QStringLiteral("LayerName"), {QStringLiteral("1")});
    EXPECT_EQ(reply.errorNumber, wireerr::TypeMismatch) << "text is not a number";
    reply = doc(QStringLiteral("LayerName"), {true});
    EXPECT_EQ(reply.errorNumber, wireerr::TypeMismatch) << "a boolean is not a number";
    reply = doc(QStringLiteral("LayerName"), {qlonglong(1) << 40});
    EXPECT_EQ(reply.errorNumber, wireerr::TypeMismatch) << "out of the int range";
    reply = doc(QStringLiteral("AddLayer"), {5});
    EXPECT_EQ(reply.errorNumber, wireerr::TypeMismatch);
    EXPECT_EQ(drawing.layerCount(), 2);
}

TEST_F(MemberInvokerTest, FailuresAnswerWithNumbers) {
    Reply reply =
        doc(QStringLiteral("GetLayerProperty"), {QStringLiteral("屋根"), QStringLiteral("Color")});
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.errorNumber, caderr::KeyNotFound);
    EXPECT_FALSE(reply.errorDescription.isEmpty());

    Gadget gadget;
    reply = call(gadget, QString(), QStringLiteral("Break"), {});
    EXPECT_EQ(reply.errorNumber, caderr::Failed);
    EXPECT_EQ(reply.errorDescription, QStringLiteral("gear slipped"));

    EXPECT_EQ(doc(QStringLiteral("NoSuchMember")).errorNumber, wireerr::MemberNotFound);
    EXPECT_EQ(doc(QStringLiteral("LayerName")).errorNumber, wireerr::BadParamCount);
    EXPECT_EQ(doc(QStringLiteral("LayerCount"), {1}).errorNumber, wireerr::BadParamCount);
    EXPECT_EQ(
        call(document, QStringLiteral("AutoCAD.Application"), QStringLiteral("LayerCount"), {})
            .errorNumber,
        wireerr::MemberNotFound)
        << "a member of another interface";
    // Only what the bus exports: not QObject's own slots, not unscriptable ones.
    EXPECT_EQ(doc(QStringLiteral("deleteLater")).errorNumber, wireerr::MemberNotFound);
    EXPECT_EQ(call(gadget, QString(), QStringLiteral("Hidden"), {}).errorNumber,
              wireerr::MemberNotFound);
    EXPECT_FALSE(gadget.armed());
}

TEST_F(MemberInvokerTest, PropertiesThroughThePropertiesInterface) {
    Reply reply = call(document, kProps, QStringLiteral("Get"), {kDoc, QStringLiteral("Name")});
    ASSERT_TRUE(reply.ok);
    EXPECT_EQ(reply.values, QVariantList{drawing.name()});

    Gadget gadget;
    reply = call(gadget, kProps, QStringLiteral("Set"),
                 {QStringLiteral("Korvel.Gadget"), QStringLiteral("Armed"), true});
    ASSERT_TRUE(reply.ok);
    EXPECT_TRUE(gadget.armed());
    reply = call(gadget, kProps, QStringLiteral("Set"),
                 {QStringLiteral("Korvel.Gadget"), QStringLiteral("Armed"), 1});
    EXPECT_EQ(reply.errorNumber, wireerr::TypeMismatch);

    reply = call(gadget, kProps, QStringLiteral("Set"),
                 {QStringLiteral("Korvel.Gadget"), QStringLiteral("Label"), QStringLiteral("x")});
    EXPECT_EQ(reply.errorNumber, wireerr::MemberNotFound) << "read-only";
    reply = call(document, kProps, QStringLiteral("Get"), {kDoc, QStringLiteral("objectName")});
    EXPECT_EQ(reply.errorNumber, wireerr::MemberNotFound) << "QObject's own property";
    reply = call(document, kProps, QStringLiteral("Get"),
                 {QStringLiteral("Korvel.Gadget"), QStringLiteral("Name")});
    EXPECT_EQ(reply.errorNumber, wireerr::MemberNotFound) << "another interface";
    reply = call(document, kProps, QStringLiteral("GetAll"), {kDoc});
    EXPECT_EQ(reply.errorNumber, wireerr::MemberNotFound);
    reply = call(document, kProps, QStringLiteral("Get"), {kDoc});
    EXPECT_EQ(reply.errorNumber, wireerr::BadParamCount);
}

} // namespace

#include "tst_member_invoker.moc"
