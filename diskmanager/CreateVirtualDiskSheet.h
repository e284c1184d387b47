#pragma once
// The secret-disk creation wizard: the image's name, folder and size; the password; the drive
// letter, and then the creation itself (the mount library makes, formats and mounts the disk in one
// call). Its results are in DiskState(): imagePath, sizeMB, password (wiped once used), driveLetter
// and mounted.
#include <string>

#include "PropertySheet.h"

class CSelectFilePage : public CPropertyPage {
public:
    CSelectFilePage();

    std::string fileName;
    std::string folder;
    UINT sizeMB = 0;

protected:
    bool OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT OnWizardNext() override;
    void OnHelp() override;

private:
    void ReadFields();

    bool filling_ = false;
};

class CsetPasswordpage : public CPropertyPage {
public:
    CsetPasswordpage();
    ~CsetPasswordpage() override;

    std::string password;
    std::string confirmation;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT OnWizardNext() override;
    void OnHelp() override;
};

class CcreateVirDiskPage : public CPropertyPage {
public:
    explicit CcreateVirDiskPage(const CsetPasswordpage& passwordPage);
    ~CcreateVirDiskPage() override;

protected:
    bool OnInitDialog() override;
    LRESULT OnWizardNext() override;
    void OnHelp() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    const CsetPasswordpage& passwordPage_;
    HFONT font_ = nullptr;
};

class CcreateVirtualDiskSheet : public CPropertySheet {
public:
    explicit CcreateVirtualDiskSheet(HWND parent = nullptr);

    // Runs the wizard. When it ends without a new disk, imagePath is what it was before.
    INT_PTR DoModal() override;

    CSelectFilePage filePage;
    CsetPasswordpage passwordPage;
    CcreateVirDiskPage createPage;
};
