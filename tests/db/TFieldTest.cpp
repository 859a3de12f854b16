#include "MemFixture.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// A coded field as the kit derives one: stores an index, reads and writes a text.
class CodedField : public TSmallintField {
    Q_OBJECT
public:
    Q_INVOKABLE explicit CodedField(QObject* owner = nullptr) : TSmallintField(owner) {}
    QStringList values{"", "Write", "Test", "Ready"};
    QString AsString() const override {
        const qint64 n = IsNull() ? -1 : AsInteger();
        return n >= 0 && n < values.size() ? values[n] : QString();
    }
    void setAsString(const QString& text) override {
        const int i = int(values.indexOf(text));
        if (i < 0)
            throw EDatabaseError(QStringLiteral("Invalid value for field '%1'").arg(DisplayName()));
        setAsInteger(i);
    }
};

std::unique_ptr<TMemTable> oneRowTable() {
    auto t = std::make_unique<TMemTable>();
    t->addFieldDef("F", TFieldType::ftFloat);
    t->addFieldDef("I", TFieldType::ftInteger);
    t->addFieldDef("S", TFieldType::ftSmallint);
    t->addFieldDef("NAME", TFieldType::ftString, 5);
    t->addFieldDef("D", TFieldType::ftDate);
    t->addFieldDef("B", TFieldType::ftBoolean);
    t->addFieldDef("M", TFieldType::ftMemo);
    t->Open();
    t->Append();
    return t;
}

} // namespace

TEST(TField, ConvertsBetweenTypes) {
    auto t = oneRowTable();
    TField* f = t->FieldByName("F");
    f->setAsString("12");
    EXPECT_EQ(f->AsInteger(), 12);
    EXPECT_EQ(f->AsString(), "12"); // a float used as an integer shows no decimals
    f->setAsFloat(2.5);
    EXPECT_EQ(f->DisplayText(), "2.5");
    f->setAsString("");
    EXPECT_TRUE(f->IsNull());
    EXPECT_EQ(f->AsInteger(), 0);

    TField* i = t->FieldByName("I");
    i->setValue(QString(" 42 "));
    EXPECT_EQ(i->Value(), QVariant(qint64(42)));
    i->setAsFloat(2.6);
    EXPECT_EQ(i->AsInteger(), 3);

    TField* name = t->FieldByName("NAME");
    name->setAsString("Longer than five");
    EXPECT_EQ(name->AsString(), "Longe"); // cut to the column width
    name->setAsString("ab  ");
    EXPECT_EQ(name->AsString(), "ab");
    name->setAsInteger(7);
    EXPECT_EQ(name->AsString(), "7");

    TField* d = t->FieldByName("D");
    d->setAsString("2024-02-29");
    EXPECT_EQ(d->AsDate(), QDate(2024, 2, 29));
    TField* b = t->FieldByName("B");
    b->setAsString("true");
    EXPECT_TRUE(b->AsBoolean());
    EXPECT_EQ(b->AsString(), "True");
    TField* m = t->FieldByName("M");
    EXPECT_EQ(m->DisplayText(), "(memo)");
    m->setAsString("{\\rtf1}");
    EXPECT_EQ(m->DisplayText(), "(MEMO)");
    EXPECT_EQ(m->AsString(), "{\\rtf1}");
}

TEST(TField, BadValuesRaiseNamingTheFieldAndKeepTheOldValue) {
    auto t = oneRowTable();
    TField* i = t->FieldByName("I");
    i->setDisplayLabel("Number");
    i->setAsInteger(5);
    EXPECT_EQ(failureOf([&] { i->setAsString("five"); }),
              "'five' is not a valid integer value for field 'Number'");
    EXPECT_EQ(i->AsInteger(), 5);
    EXPECT_THROW(t->FieldByName("F")->setAsString("1,2,3"), EDatabaseError);
    EXPECT_THROW(t->FieldByName("D")->setAsString("31.31.2020"), EDatabaseError);
    EXPECT_THROW(t->FieldByName("B")->setAsString("perhaps"), EDatabaseError);
    EXPECT_THROW(t->FieldByName("NAME")->AsDate(), EDatabaseError);
    // A double no integer can hold is refused rather than stored as garbage.
    for (double huge : {1e300, -1e19, std::nan("")})
        EXPECT_THROW(i->setValue(huge), EDatabaseError) << huge;
    EXPECT_EQ(i->AsInteger(), 5);

    auto* s = qobject_cast<TSmallintField*>(t->FieldByName("S"));
    ASSERT_NE(s, nullptr);
    EXPECT_THROW(s->setAsInteger(40000), EDatabaseError);
    s->setMaxValue(3);
    EXPECT_EQ(failureOf([&] { s->setAsInteger(4); }),
              "4 is not a valid value for field 'S'. The allowed range is 0 to 3");
    s->setAsInteger(3);
    EXPECT_EQ(s->AsInteger(), 3);
}

TEST(TField, DisplayPropertiesHaveDefaults) {
    TFloatField id;
    id.setFieldName("ID");
    EXPECT_EQ(id.DisplayLabel(), "ID");
    EXPECT_EQ(id.Alignment(), TAlignment::taRightJustify);
    EXPECT_EQ(id.DisplayWidth(), 10);
    TStringField name;
    name.setSize(60);
    EXPECT_EQ(name.DisplayWidth(), 60);
    EXPECT_EQ(name.Alignment(), TAlignment::taLeftJustify);
    EXPECT_TRUE(name.setProperty("DisplayLabel", "Name"));
    EXPECT_EQ(name.DisplayLabel(), "Name");
}

TEST(TField, DerivedFieldsChangeHowValuesReadAndCloneWithTheirProperties) {
    TMemTable t;
    t.addFieldDef("STATE", TFieldType::ftSmallint);
    auto* state = addField<CodedField>(t, "STATE");
    state->setDisplayWidth(8);
    state->setTag(18);
    state->setMaxValue(3);
    t.Open();
    t.Append();
    state->setAsString("Test");
    EXPECT_EQ(state->AsInteger(), 2);
    EXPECT_EQ(state->DisplayText(), "Test");
    EXPECT_THROW(state->setAsString("Done"), EDatabaseError);
    t.Post();

    std::unique_ptr<TField> copy(state->clone(nullptr));
    ASSERT_NE(qobject_cast<CodedField*>(copy.get()), nullptr);
    EXPECT_EQ(copy->FieldName(), "STATE");
    EXPECT_EQ(copy->DisplayWidth(), 8);
    EXPECT_EQ(copy->Tag(), 18);
    EXPECT_EQ(copy->property("MaxValue").toLongLong(), 3);
    EXPECT_EQ(copy->DataSet(), nullptr);

    // A copy attached to another dataset over the same column reads its rows.
    TMemTable other;
    other.addFieldDef("STATE", TFieldType::ftSmallint);
    copy->setDataSet(&other);
    other.Open();
    other.Append();
    copy->setAsString("Ready");
    EXPECT_EQ(copy->AsInteger(), 3);
    other.Post();
    other.Close();
    copy->setDataSet(nullptr);
}

#include "TFieldTest.moc"
