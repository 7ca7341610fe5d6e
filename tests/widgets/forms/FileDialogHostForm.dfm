// A form that places a save dialog and a folder browser.
object FileDialogHostForm: TForm
  Caption = 'Host'
  ClientWidth = 200
  ClientHeight = 100
  object SaveDialog1: TplSaveDialog
    AboutVCL = 'Version 9.02'
    FormWidth = 480
    FileExt = '.csv'
    Title = '結果を保存'
    ImeMode = imHira
    DisplayDirectory = True
    DisplayGridLines = False
    Options = [doFindBtn, doFolderBtn]
    BrowseTitle = 'フォルダ'
    OnShow = SaveDialogShow
  end
  object BrowseFolder1: TplBrowseFolder
    RootSpecialDir = sfPersonal
    Options = [bifReturnOnlyFSDirs, bifNewDialogStyle]
    FormHeight = 200
  end
end
