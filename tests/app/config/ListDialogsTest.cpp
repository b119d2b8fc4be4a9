#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "DialogDriving.h"
#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "app/config/CFiltersAddDlg.h"
#include "app/config/CFiltersDlg.h"
#include "app/config/CFiltersEditDlg.h"
#include "app/config/CRulesAddDlg.h"
#include "app/config/CRulesDlg.h"
#include "app/config/CRulesEditDlg.h"
#include "app/config/CStationsAddDlg.h"
#include "app/config/CStationsDlg.h"
#include "app/config/CStationsEditDlg.h"

namespace {

const QString kStationExists =
    QStringLiteral("Error: Station already exists (a station is called 'PACS').");
const QString kStationError = QStringLiteral("Error: Station parameters contain errors (%1).");
const QString kStationEdit = QStringLiteral("Error: One or more parameter are empty.");
const QString kRule = QStringLiteral("Rule already exists or rule parameter contains errors.");
const QString kNotAnInteger = QStringLiteral("Please enter an integer.");
const QString kPortRange = QStringLiteral("Please enter an integer between 1 and 65000.");
const QString kTagRange = QStringLiteral("Please enter an integer between 0 and 16384.");

void fillStation(QWidget* dialog, const char* alias, const char* aeTitle, const char* host,
                 const char* port) {
  type(dialog, "alias", QString::fromLatin1(alias));
  type(dialog, "aeTitle", QString::fromLatin1(aeTitle));
  type(dialog, "address", QString::fromLatin1(host));
  if (port) type(dialog, "port", QString::fromLatin1(port));
}

void fillRule(QWidget* dialog, const char* group, const char* element, const char* value,
              const char* destination) {
  type(dialog, "group", QString::fromLatin1(group));
  type(dialog, "element", QString::fromLatin1(element));
  type(dialog, "compareValue", QString::fromLatin1(value));
  auto* box = control<QComboBox>(dialog, "destination");
  box->setCurrentIndex(destination ? box->findText(QString::fromLatin1(destination)) : -1);
}

}  // namespace

class ListDialogsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { QVERIFY(!QApplication::activeModalWidget()); }

  void stationRowsSortByAliasAndActOnTheirOwnRecord() {
    AppSettings settings;
    CStationArray stations;
    stations.Add({"b", "B_AE", "hostb", 104});
    stations.Add({"a", "A_AE", "hosta", 105});
    stations.Add({"C", "C_AE", "hostc", 106});
    CStationsDlg dialog(stations, settings);
    auto* list = control<QTreeWidget>(&dialog, "stationList");
    QCOMPARE(firstColumn(list), (QStringList{"a", "b", "C"}));

    // Editing the row of "a" edits array index 1.
    markRow(list, 0);
    QString shownAlias;
    whileModal([&] { dialog.editStation(); },
               [&](QWidget* edit) {
                 shownAlias = textOf(edit, "alias");
                 type(edit, "aeTitle", "A_NEW");
                 static_cast<QDialog*>(edit)->accept();
               });
    QCOMPARE(shownAlias, QStringLiteral("a"));
    QCOMPARE(stations[1].aeTitle, std::string("A_NEW"));
    QCOMPARE(stations[0].aeTitle, std::string("B_AE"));
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("A_NEW"));

    // Of several highlighted rows only the one with the mark goes.
    list->selectAll();
    list->setCurrentItem(list->topLevelItem(2), 0, QItemSelectionModel::Select);
    dialog.deleteStation();
    QCOMPARE(stations.GetSize(), 2);
    QCOMPARE(stations[0].alias, std::string("b"));
    QCOMPARE(stations[1].alias, std::string("a"));
    QCOMPARE(firstColumn(list), (QStringList{"a", "b"}));

    // Nothing selected: edit and delete are greyed, and do nothing.
    markRow(list, 0);
    QVERIFY(control<QPushButton>(&dialog, "editButton")->isEnabled());
    list->clearSelection();
    for (const char* button : {"editButton", "deleteButton"})
      QVERIFY2(!control<QPushButton>(&dialog, button)->isEnabled(), button);
    dialog.deleteStation();
    dialog.editStation();
    QCOMPARE(stations.GetSize(), 2);
  }

  void deletingAStationKeepsTheStandardDestinationOnItsStation() {
    struct Case {
      int deletedRow;  // rows sort by alias, as the array does here
      int standardAfter;
      bool told;
    };
    const Case cases[] = {{0, 1, false}, {2, -1, true}, {3, 2, false}};
    for (const Case& c : cases) {
      AppSettings settings;
      settings.standardDestination = 2;
      CStationArray stations;
      for (const char* alias : {"A", "B", "C", "D"}) stations.Add({alias, "AE", "h", 104});
      CStationsDlg dialog(stations, settings);
      MessageBoxRecorder boxes;
      markRow(control<QTreeWidget>(&dialog, "stationList"), c.deletedRow);
      dialog.deleteStation();
      QCOMPARE(settings.standardDestination, c.standardAfter);
      if (c.standardAfter >= 0) QCOMPARE(stations[c.standardAfter].alias, std::string("C"));
      QCOMPARE(boxes.texts,
               c.told ? QStringList{QStringLiteral(
                            "The deleted station 'C' was the standard destination: no station "
                            "is the standard destination now.")}
                      : QStringList{});
    }
  }

  void stationAddAndEditAcceptOrRefuseAsTyped() {
    struct Case {
      bool add;
      const char* alias;
      const char* aeTitle;
      const char* host;
      const char* port;  // null: left as the dialog starts
      QString message;   // empty: stored
    };
    const Case cases[] = {
        {true, "NEW", "AE", "host", nullptr, kPortRange},  // starts at 0
        {true, "NEW", "AE", "host", "abc", kNotAnInteger},
        {true, "NEW", "AE", "host", "65001", kPortRange},
        {true, "NEW", "AE", "host", "65000", {}},
        {true, "pacs", "AE", "host", "104", {}},  // differs only in case
        {true, "PACS", "AE", "host", "104", kStationExists},
        {true, "", "AE", "host", "104", kStationError.arg("the alias is empty")},
        {true, "NEW", "", "host", "104", kStationError.arg("the AE title is empty")},
        {true, "NEW", "AE", "", "104", kStationError.arg("the address is empty")},
        {true, "NEW", "SEVENTEEN_CHARS_X", "host", "104",
         kStationError.arg("the AE title is longer than 16 characters")},
        {true, "NEW", "SIXTEEN_CHARS_XX", "host", "104", {}},
        {false, "PACS", "A\\B", "host", "104", kStationError.arg("the AE title holds a backslash")},
        {false, "OTHER", "AE", "host", "104", {}},  // another station's alias
        {false, "PACS", "", "host", "104", kStationEdit},
        {false, "PACS", "AE", "host", "0", kPortRange},
    };
    for (const Case& c : cases) {
      AppSettings settings;
      CStationArray stations;
      stations.Add({"PACS", "PACS_AE", "pacs", 104});
      stations.Add({"OTHER", "OTHER_AE", "other", 104});
      const CStationArray before = stations;
      MessageBoxRecorder boxes;
      std::unique_ptr<StationFieldsDlg> dialog;
      if (c.add)
        dialog = std::make_unique<CStationsAddDlg>(stations, settings);
      else
        dialog = std::make_unique<CStationsEditDlg>(stations, 0, settings);
      dialog->show();
      QApplication::setActiveWindow(dialog.get());
      fillStation(dialog.get(), c.alias, c.aeTitle, c.host, c.port);
      dialog->accept();
      const QByteArray label = QByteArray(c.alias) + "/" + (c.port ? c.port : "-");
      if (c.message.isEmpty()) {
        QVERIFY2(boxes.texts.isEmpty(), label);
        QVERIFY2(dialog->result() == QDialog::Accepted, label);
        const CStation& stored = stations[c.add ? 2 : 0];
        QCOMPARE(stored.alias, std::string(c.alias));
        QCOMPARE(QString::number(stored.port), QString::fromLatin1(c.port));
      } else {
        QCOMPARE(boxes.texts, QStringList{c.message});
        QVERIFY2(dialog->isVisible(), label);
        QCOMPARE(stations.GetSize(), before.GetSize());
        QCOMPARE(stations[0].aeTitle, before[0].aeTitle);
        if (c.message.startsWith(QStringLiteral("Please")))
          QVERIFY2(control<QLineEdit>(dialog.get(), "port")->hasFocus(), label);
      }
    }
  }

  void rulesListInArrayOrderAndEditTheRowsRule() {
    CStationArray stations;
    stations.Add({"PACS", "AE", "pacs", 104});
    stations.Add({"Archive", "AE2", "archive", 104});
    CRuleArray rules;
    rules.Add({16, 32, "Z", "PACS"});
    rules.Add({8, 96, "CT", "Archive"});
    CRulesDlg dialog(rules, stations);
    auto* list = control<QTreeWidget>(&dialog, "ruleList");
    QCOMPARE(firstColumn(list), (QStringList{"16", "8"}));

    // Added in decimal, shown in decimal, destination from the sorted station list.
    whileModal([&] { dialog.addRule(); },
               [&](QWidget* add) {
                 auto* box = control<QComboBox>(add, "destination");
                 QCOMPARE(box->currentIndex(), -1);
                 QCOMPARE(box->itemText(0), QStringLiteral("Archive"));
                 QCOMPARE(box->itemData(0).toInt(), 1);
                 fillRule(add, "16", "16", "Doe^John", "Archive");
                 static_cast<QDialog*>(add)->accept();
               });
    QCOMPARE(rules.GetSize(), 3);
    QCOMPARE(rules[2].group, 16);
    QCOMPARE(rules[2].element, 16);
    QCOMPARE(rules[2].destination, std::string("Archive"));
    QCOMPARE(list->topLevelItem(2)->text(1), QStringLiteral("16"));

    markRow(list, 1);
    whileModal([&] { dialog.editRule(); },
               [&](QWidget* edit) {
                 QCOMPARE(textOf(edit, "compareValue"), QStringLiteral("CT"));
                 QCOMPARE(control<QComboBox>(edit, "destination")->currentText(),
                          QStringLiteral("Archive"));
                 type(edit, "compareValue", "MR");
                 static_cast<QDialog*>(edit)->accept();
               });
    QCOMPARE(rules[1].compareValue, std::string("MR"));

    markRow(list, 0);
    dialog.deleteRule();
    QCOMPARE(rules.GetSize(), 2);
    QCOMPARE(rules[0].compareValue, std::string("MR"));
  }

  void ruleAddAndEditAcceptOrRefuseAsTyped() {
    struct Case {
      bool add;
      const char* group;
      const char* element;
      const char* value;
      const char* destination;
      QString message;
    };
    const Case cases[] = {
        {true, "0", "0", "X", "PACS", {}},           // group 0 can be added
        {true, "16", "32", "other", "PACS", kRule},  // same tag as the rule there
        {true, "16", "33", "", "PACS", kRule},
        {true, "16", "33", "X", nullptr, kRule},
        {true, "x16", "33", "X", "PACS", kNotAnInteger},
        {true, "16", "16385", "X", "PACS", kTagRange},
        {true, "-1", "1", "X", "PACS", kTagRange},
        {false, "8", "96", "X", "PACS", {}},
        {false, "0", "32", "X", "PACS", kRule},
        {false, "16", "0", "X", "PACS", kRule},
        {false, "16", "32", "X", nullptr, kRule},
        {false, "16", "", "X", "PACS", kNotAnInteger},
    };
    for (const Case& c : cases) {
      CStationArray stations;
      stations.Add({"PACS", "AE", "pacs", 104});
      CRuleArray rules;
      rules.Add({16, 32, "Doe", "PACS"});
      MessageBoxRecorder boxes;
      std::unique_ptr<RuleFieldsDlg> dialog;
      if (c.add)
        dialog = std::make_unique<CRulesAddDlg>(rules, stations);
      else
        dialog = std::make_unique<CRulesEditDlg>(rules, 0, stations);
      dialog->show();
      QApplication::setActiveWindow(dialog.get());
      fillRule(dialog.get(), c.group, c.element, c.value, c.destination);
      dialog->accept();
      const QByteArray label = QByteArray(c.group) + "," + c.element + "," + c.value;
      if (c.message.isEmpty()) {
        QVERIFY2(boxes.texts.isEmpty(), label);
        const CRule& stored = rules[c.add ? 1 : 0];
        QCOMPARE(QString::number(stored.group), QString::fromLatin1(c.group));
        QCOMPARE(stored.compareValue, std::string(c.value));
      } else {
        QCOMPARE(boxes.texts, QStringList{c.message});
        QVERIFY2(dialog->isVisible(), label);
        QCOMPARE(rules.GetSize(), 1);
        QCOMPARE(rules[0].compareValue, std::string("Doe"));
      }
    }
  }

  void ruleDialogsShowTheTagInHexadecimalWithItsKeyword() {
    CStationArray stations;
    stations.Add({"PACS", "AE", "pacs", 104});
    CRuleArray rules;
    rules.Add({16, 32, "Doe", "PACS"});
    CRulesEditDlg edit(rules, 0, stations);
    QCOMPARE(edit.tagNameShown(), QStringLiteral("(0010,0020) PatientID"));
    CRulesAddDlg add(rules, stations);
    QVERIFY(add.tagNameShown().startsWith(QStringLiteral("(0000,0000)")));
    type(&add, "group", "8");
    type(&add, "element", "96");
    QCOMPARE(add.tagNameShown(), QStringLiteral("(0008,0060) Modality"));
    type(&add, "element", "x");
    QCOMPARE(add.tagNameShown(), QString());
  }

  void ruleOfAStationGoneOpensWithoutDestination() {
    CStationArray stations;
    stations.Add({"PACS-NEW", "AE", "pacs", 104});
    CRuleArray rules;
    rules.Add({16, 32, "Doe", "PACS"});
    CRulesEditDlg dialog(rules, 0, stations);
    QCOMPARE(control<QComboBox>(&dialog, "destination")->currentIndex(), -1);
  }

  void filterResetGivesTheDefaultsSortedWithTheirIndices() {
    CFilterArray filters;
    filters.Add({".dcm_", "mine"});
    CFiltersDlg dialog(filters);
    auto* list = control<QTreeWidget>(&dialog, "filterList");
    QCOMPARE(dialog.contextMenu()->actions().size(), 1);
    QCOMPARE(dialog.contextMenu()->actions().first()->text(), QStringLiteral("reset list"));

    {
      MessageBoxRecorder no(false);
      dialog.contextMenu()->actions().first()->trigger();
      QCOMPARE(no.texts, QStringList{"All filters will be deleted. Are you sure?"});
      QCOMPARE(no.defaultNo, std::vector<bool>{true});
      QCOMPARE(filters.GetSize(), 1);
    }
    {
      MessageBoxRecorder yes(true);
      dialog.resetList();
    }
    QCOMPARE(filters.GetSize(), 14);
    QCOMPARE(list->topLevelItemCount(), 14);
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral(".bmp"));
    QCOMPARE(list->topLevelItem(13)->text(0), QStringLiteral(".zip"));

    // Editing the row .bmp edits array index 6.
    markRow(list, 0);
    whileModal([&] { dialog.editFilter(); },
               [&](QWidget* edit) {
                 type(edit, "description", "Windows bitmap");
                 static_cast<QDialog*>(edit)->accept();
               });
    QCOMPARE(filters[6].description, std::string("Windows bitmap"));

    // Deleting every row leaves an empty list; the reset still works.
    while (list->topLevelItemCount() > 0) {
      markRow(list, 0);
      dialog.deleteFilter();
    }
    QCOMPARE(filters.GetSize(), 0);
    MessageBoxRecorder yes(true);
    dialog.resetList();
    QCOMPARE(filters.GetSize(), 14);
  }

  void filterAddAndEditStoreExactlyWhatIsTyped() {
    struct Case {
      bool add;
      const char* extension;
      const char* description;
      QString message;
    };
    const Case cases[] = {
        {true, ".EXE", "upper case", {}},
        {true, ".txt", "", {}},
        {true, "txt", "no dot", {}},
        {true, ".exe", "again", QStringLiteral("Extension already exists or parameter is empty.")},
        {true, "", "x", QStringLiteral("Extension already exists or parameter is empty.")},
        {false, ".zip", "", {}},  // another filter's extension
        {false, "", "x", QStringLiteral("Error: \"Extension\" can not be empty.")},
    };
    for (const Case& c : cases) {
      CFilterArray filters;
      filters.Add({".exe", "applications"});
      filters.Add({".zip", "ZIP archive"});
      MessageBoxRecorder boxes;
      std::unique_ptr<FilterFieldsDlg> dialog;
      if (c.add)
        dialog = std::make_unique<CFiltersAddDlg>(filters);
      else
        dialog = std::make_unique<CFiltersEditDlg>(filters, 0);
      dialog->show();
      type(dialog.get(), "extension", QString::fromLatin1(c.extension));
      type(dialog.get(), "description", QString::fromLatin1(c.description));
      dialog->accept();
      if (c.message.isEmpty()) {
        QVERIFY2(boxes.texts.isEmpty(), c.extension);
        const CFilter& stored = filters[c.add ? 2 : 0];
        QCOMPARE(stored.extension, std::string(c.extension));
        QCOMPARE(stored.description, std::string(c.description));
      } else {
        QCOMPARE(boxes.texts, QStringList{c.message});
        QVERIFY2(dialog->isVisible(), c.extension);
        QCOMPARE(filters.GetSize(), 2);
        QCOMPARE(filters[0].extension, std::string(".exe"));
      }
    }
  }
};

KALVORA_GUI_TEST(ListDialogsTest);
#include "ListDialogsTest.moc"
