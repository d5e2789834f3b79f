#include "shell/d71_print_info.h"

#include "base/res_string.h"
#include "base/utils.h"
#include "devices/tv10_modul.h"
#include "devices/tv10_sensor_info.h"
#include "devices/tv10_sub_mod_ed0.h"
#include "platform/gui/printers.h"
#include "platform/gui/rich_edit.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/format.h"
#include "shell/std_dialog_form.h"

namespace qv {

namespace {

std::string Key(const char* key) { return LoadResString(key); }
std::string Fixed(double v, int decimals) { return FloatToStrF2(TFloatFormat::ffFixed, 15, decimals, v); }
std::string Version(uint8_t v) { return Format(": %d.%d", v >> 4, v & 15); }
std::string IntervalName(uint8_t index) {
  return index < Tv10IntervalCount ? std::string(Tv10RecIntNames[index]) : std::string("---");
}

}  // namespace

void AddModuleInfoLines(const TTv10Modul& module, const TTv10ModEditor0& editor, TStringList& lines) {
  lines.Add(Key("tk1_Type") + ": " + Tv10KindName(module.TavraTyp()));
  lines.Add(Key("tk1_QvId") + " DL" + Format("%.3d", module.Id()));
  lines.Add(Key("dev_Name") + " " + editor.GetNameText());
  lines.Add(Key("dev_SName") + " " + editor.GetSNameText());
  lines.Add(Key("tk1_Id") + ": " + std::to_string(module.Kennung()));
  lines.Add(Key("tk1_ProjectNo") + ": " + Format("%.4d", static_cast<int>(module.ProjectNo)));
  lines.Add(Format(Key("tk1_MMYYNFormat"), module.MonthYear / 100, module.MonthYear % 100,
                   static_cast<int>(module.SerialNo)));
  lines.Add(Key("tk1_HwVersion") + ": " + std::to_string(module.HwVersion));
  lines.Add(Key("tk1_SwVersion") + " " + Version(module.SwVersion));
  lines.Add(Key("tk1_E2Version") + " " + Version(module.E2Version));
  lines.Add(Key("t10_PartList") + ": " + std::to_string(module.PartList));
  lines.Add(Key("t10_CircDiag") + ": " + std::to_string(module.CircuitDiagram));
  if (editor.ShowsLocalHeight()) lines.Add(Key("tk1_LocalHeight") + ": " + Fixed(editor.GetLocalHeight(), 3));
  lines.Add(Key("tk1_StorOrg") + ": " + Key(editor.GetStorCircular() ? "tk1_StorOrgCircular" : "tk1_StorOrgStartStop"));
  const uint8_t mode = editor.GetStoringMode();
  std::string modes;
  if (mode & 1) modes += Key("tk1_StorMdAve") + " ";
  if (mode & 2) modes += Key("tk1_StorMdMax") + " ";
  if (mode & 4) modes += Key("tk1_StorMdMin");
  lines.Add(Key("tk1_StoringMode") + ": " + modes);
  lines.Add(Key("tk1_SampleInt") + " " + IntervalName(editor.GetSampleIntIdx()));
  lines.Add(Key("tk1_SaveInt") + " " + IntervalName(editor.GetSaveIntIdx()));
  const bool preselect = editor.GetPreSelEnabled();
  lines.Add(Key("t10_PreSelEnabled") + ": " + (preselect ? "Yes" : "No"));
  if (preselect) {
    lines.Add(Key("t10_PreSelDate") + ": " + FormatDateTime("ddddd", editor.GetPreSelDateTime()));
    lines.Add(Key("t10_PreSelTime") + ": " + FormatDateTime("tt", editor.GetPreSelDateTime()));
  }
}

void AddSlotInfoLines(const TTv10SubModul& slot, const TTv10Modul& module, TStringList& lines) {
  const int decimals = slot.DecimalsEdit;
  const std::string unit = slot.Unit();
  TTv10SensorInfo info;
  const bool known = FindSensorInfo(slot.SensorPcb, slot.SensorType, module.E2Version, info);
  lines.Add("");
  lines.Add(Key("dev_Name") + " " + slot.EditName());
  lines.Add(Key("dev_SName") + " " + slot.EditSName());
  lines.Add(Key("t10_ModChanNum") + ": " + std::to_string(slot.NewChanNum));
  lines.Add(Key("t10_SensType") + ": " + (known ? info.Name : std::string("---")));
  lines.Add(Key("chn_Unit") + " " + unit);
  lines.Add(Key("t10_SensorPcb") + ": " + SensorPcbName(slot.SensorPcb));
  lines.Add(Key("t10_Offset") + ": " + Fixed(slot.Offset.Edit, 1) + " " + unit);
  lines.Add(Key("tk1_AlarmAt") + ": " + Key(slot.AlarmAtSample.Edit ? "tk1_AlAtSample" : "tk1_AlAtStoring"));
  lines.Add(Key("tk1_AlLimits") + ": " + Key("chn_Max") + ": " + Fixed(slot.AlarmMaxEdit, decimals) + " " +
            Key("chn_Min") + ": " + Fixed(slot.AlarmMinEdit, decimals));
  lines.Add(Key("tk1_AlarmHyst") + ": " + Fixed(slot.AlarmHyst.Edit, decimals));
  lines.Add(Key("chn_Dec") + ": " + std::to_string(decimals));
  lines.Add(Key("chn_ViewLimits") + ": " + Key("chn_Max") + ": " + Fixed(slot.ViewMaxEdit, decimals) + " " +
            Key("chn_Min") + ": " + Fixed(slot.ViewMinEdit, decimals));
}

TD71_PrintInfo::TD71_PrintInfo(TComponent* owner) : TForm(owner) {
  SetName("D71_PrintInfo");
  SetBounds(0, 0, 480, 360);
  RichEdit = new TRichEdit(this);
  RichEdit->SetParent(this);
  RichEdit->SetAlign(TAlign::alClient);
}

bool TD71_PrintInfo::PrintSheet(const std::string& title) {
  TPrinter& printer = Printer();
  printer.Title = title;
  printer.FileTitle.clear();
  if (StdDialogForm && !StdDialogForm->PrintDialog->Execute()) return false;
  const int ppi = printer.PixelsPerInch();
  RichEdit->PageRect = TRect{ppi / 2, ppi * 3 / 4, printer.PageWidth() - ppi / 2, printer.PageHeight() - ppi * 3 / 4};
  RichEdit->Print(title);
  return true;
}

}  // namespace qv
