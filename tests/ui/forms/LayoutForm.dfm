// Nested aligned and anchored panels; the tests check their bounds at two client sizes.
object LayoutForm: TForm
  Caption = 'Layout'
  ClientWidth = 400
  ClientHeight = 300
  object PanelTop: TPanel
    Align = alTop
    Height = 40
    BevelOuter = bvNone
  end
  object PanelBottom: TPanel
    Align = alBottom
    Top = 270
    Width = 400
    Height = 30
    BevelOuter = bvNone
    object ButtonRight: TButton
      Left = 310
      Top = 3
      Width = 80
      Height = 24
      Anchors = [akRight, akBottom]
      Caption = 'Right'
    end
  end
  object PanelLeft: TPanel
    Align = alLeft
    Width = 100
  end
  object PanelClient: TPanel
    Align = alClient
    Left = 100
    Top = 40
    Width = 300
    Height = 230
    BorderWidth = 2
    object InnerTop: TPanel
      Align = alTop
      Height = 20
    end
    object Stretch: TEdit
      Left = 10
      Top = 30
      Width = 200
      Height = 21
      Anchors = [akLeft, akTop, akRight]
    end
    object BottomOnly: TButton
      Left = 20
      Top = 150
      Width = 75
      Height = 25
      Anchors = [akBottom]
      Caption = 'Bottom'
    end
    object BottomRight: TPanel
      Left = 200
      Top = 180
      Width = 90
      Height = 40
      Anchors = [akRight, akBottom]
    end
  end
end
