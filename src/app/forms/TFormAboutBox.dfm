object FormAboutBox: TFormAboutBox
  Caption = 'バージョン情報'
  BorderStyle = bsDialog
  Position = poOwnerFormCenter
  Font.Name = 'ＭＳ Ｐゴシック'
  Font.Height = -12
  ClientWidth = 297
  ClientHeight = 188
  object Panel1: TPanel
    Left = 8
    Top = 8
    Width = 281
    Height = 137
    BevelOuter = bvRaised
    BevelInner = bvLowered
    ShowCaption = False
    TabOrder = 0
    object ProgramIcon: TImage
      Left = 12
      Top = 12
      Width = 48
      Height = 48
      Picture.Icon.Resource = 'ABOUTICON'
      Stretch = True
    end
    object ProductName: TLabel
      Left = 72
      Top = 14
      Font.Height = -16
      Font.Style = [fsBold]
      ParentFont = False
    end
    object Version: TLabel
      Left = 72
      Top = 38
    end
    object Copyright: TLabel
      Left = 72
      Top = 56
    end
    object Comments: TLabel
      Left = 12
      Top = 80
      Width = 257
      Height = 32
      AutoSize = False
      WordWrap = True
    end
    object LabelUrl: TLinkLabel
      Left = 12
      Top = 114
      Cursor = crHandPoint
      Font.Color = clBlue
      Font.Style = [fsUnderline]
      ParentFont = False
      OnClick = LabelUrlClick
    end
  end
  object WlFooter1: TWlFooter
    Left = 0
    Top = 151
    Width = 297
    Height = 37
    Align = alBottom
    TabOrder = 1
    object WlFooterBtn1: TWlFooterBtn
      Width = 74
      Height = 23
      Alignment = taCenter
      ButtonIndex = 0
      SpaceInterval = 0
      Kind = bkClose
      TabOrder = 0
    end
  end
end
