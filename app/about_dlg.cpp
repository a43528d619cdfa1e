// CAboutDlg: the About box; it exchanges nothing with its controls.
#include "app/about_dlg.h"

namespace pelmo {

CAboutDlg::CAboutDlg(QWidget* parent) : TemplateDialog(IDD_ABOUTBOX, parent)
{
}

}  // namespace pelmo
