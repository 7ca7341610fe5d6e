object FormCsvSortFieldEdit: TFormCsvSortFieldEdit
  Caption = '並び替え設定'
  BorderStyle = bsDialog
  Position = poOwnerFormCenter
  Font.Name = 'MS UI Gothic'
  Font.Height = -12
  ClientWidth = 367
  ClientHeight = 190
  HelpContext = 28
  ShowHint = True
  object CheckBoxSort: TCheckBox
    Left = 12
    Top = 10
    Width = 200
    Height = 18
    Caption = 'CSVを並び替える'
    TabOrder = 0
    OnClick = CheckBoxSortClick
  end
  object LabelKey1: TLabel
    Left = 24
    Top = 44
    Caption = '最優先されるキー'
  end
  object StaticTextKey1: TStaticText
    Left = 162
    Top = 41
    Width = 84
    Height = 21
    AutoSize = False
    Alignment = taCenter
    Layout = tlCenter
    BorderStyle = sbsSunken
    Caption = '(なし)'
  end
  object BtnSortKeySelect1: TButton
    Tag = 0
    Left = 250
    Top = 40
    Width = 24
    Height = 23
    Caption = '...'
    Hint = '並べ替えの1番目のキーとなる列を選択します。'
    TabOrder = 1
    OnClick = BtnSortKeySelect1Click
  end
  object ComboBoxSortOrder1: TComboBox
    Left = 280
    Top = 41
    Width = 77
    Style = csDropDownList
    Items.Strings = (
      '昇順'
      '降順')
    ItemIndex = 0
    TabOrder = 2
  end
  object LabelKey2: TLabel
    Left = 24
    Top = 74
    Caption = '2番目に優先されるキー'
  end
  object StaticTextKey2: TStaticText
    Left = 162
    Top = 71
    Width = 84
    Height = 21
    AutoSize = False
    Alignment = taCenter
    Layout = tlCenter
    BorderStyle = sbsSunken
    Caption = '(なし)'
  end
  object BtnSortKeySelect2: TButton
    Tag = 1
    Left = 250
    Top = 70
    Width = 24
    Height = 23
    Caption = '...'
    Hint = '並べ替えの2番目のキーとなる列を選択します。'
    TabOrder = 3
    OnClick = BtnSortKeySelect1Click
  end
  object ComboBoxSortOrder2: TComboBox
    Left = 280
    Top = 71
    Width = 77
    Style = csDropDownList
    Items.Strings = (
      '昇順'
      '降順')
    ItemIndex = 0
    TabOrder = 4
  end
  object LabelKey3: TLabel
    Left = 24
    Top = 104
    Caption = '3番目に優先されるキー'
  end
  object StaticTextKey3: TStaticText
    Left = 162
    Top = 101
    Width = 84
    Height = 21
    AutoSize = False
    Alignment = taCenter
    Layout = tlCenter
    BorderStyle = sbsSunken
    Caption = '(なし)'
  end
  object BtnSortKeySelect3: TButton
    Tag = 2
    Left = 250
    Top = 100
    Width = 24
    Height = 23
    Caption = '...'
    Hint = '並べ替えの3番目のキーとなる列を選択します。'
    TabOrder = 5
    OnClick = BtnSortKeySelect1Click
  end
  object ComboBoxSortOrder3: TComboBox
    Left = 280
    Top = 101
    Width = 77
    Style = csDropDownList
    Items.Strings = (
      '昇順'
      '降順')
    ItemIndex = 0
    TabOrder = 6
  end
  object StatusBar1: TStatusBar
    Top = 171
    SimplePanel = True
    AutoHint = True
    SizeGrip = False
  end
  object WlFooter1: TWlFooter
    Left = 0
    Top = 134
    Width = 367
    Height = 37
    Align = alBottom
    TabOrder = 7
    object BtnHelp: TWlFooterBtn
      Width = 74
      Height = 23
      Alignment = taLeftJustify
      ButtonIndex = 0
      SpaceInterval = 6
      Kind = bkHelp
      HelpContext = 28
      TabOrder = 0
    end
    object BtnOk: TWlFooterBtn
      Width = 74
      Height = 23
      ButtonIndex = 1
      SpaceInterval = 6
      Kind = bkOK
      TabOrder = 1
    end
    object BtnCancel: TWlFooterBtn
      Width = 74
      Height = 23
      ButtonIndex = 2
      SpaceInterval = 6
      Kind = bkCancel
      TabOrder = 2
    end
  end
end
